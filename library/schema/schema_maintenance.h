// SchemaMaintenance: what keeps the database fit for processing -- the
// existence checks of tables and indexes (schema_existence.cpp,
// schema_statements.h), the startup checks the loop runs before its first row
// (startup_checks.cpp), the machine pointer repair (machine_pointer_repair.cpp)
// and the stored procedures compiled into the library (stored_procedures.cpp,
// stored_procedure_script.h, resources/stored_procedures.sql) or, on
// PostgreSQL, the server functions (server_functions.cpp).
//
// May touch: the session; the schema (DDL), T_SFC_MACHINE's record pointers.
// Asks the machine hierarchy through the lookup it is given (the intake's,
// handed in by the component set, so that schema does not include intake).
// The existence checks read false on any
// failure; the others report through strError.
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_SCHEMA_SCHEMA_MAINTENANCE_H_
#define VOLTRANE_LIBRARY_SCHEMA_SCHEMA_MAINTENANCE_H_

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "library/session/session.h"

namespace korvex7::internal {

// Finds a machine's department, location and group; false when it has none.
using MachineHierarchyLookup =
    std::function<bool(int32_t machine_id, int32_t& dept_id, int32_t& location_id,
                       int32_t& group_id)>;

class SchemaMaintenance : public SessionClient {
 public:
  SchemaMaintenance(Session& session, MachineHierarchyLookup machine_hierarchy)
      : SessionClient(session), machine_hierarchy_(std::move(machine_hierarchy)) {}

  // The public operations of korvex7.h.
  void InstallStoredProcedures(std::string& strError);
  void CheckAndFixMachines(std::string& strError);
  void StartupDatabaseChecksAndUpdates(std::string& strError);

  bool TableExists(const std::string& strTableName);
  bool IndexExists(const std::string& strTable, const std::string& strColumn);

 private:
  // PostgreSQL's event record functions; failures are traced, never reported.
  void InstallServerFunctions();

  MachineHierarchyLookup machine_hierarchy_;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_SCHEMA_SCHEMA_MAINTENANCE_H_
