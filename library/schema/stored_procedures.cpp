// Installation of the event-record stored procedures on SQL Server: every
// batch of the stored procedure script runs in order, each on its own; a
// failing batch is traced and the next one runs. PostgreSQL gets its server
// functions instead (server_functions.cpp); other database kinds keep the
// event records in the library's own statements and install nothing.
//
// strError ends as the last batch's error text (empty when it succeeded). A
// drop of a procedure that does not exist yet (DB_E_NOTABLE) is no error. A
// script that cannot be loaded throws ComError. Processing thread only.
#include <string>

#include "dbaccess/sql_dialect.h"
#include "library/com_error.h"
#include "library/schema/schema_maintenance.h"
#include "library/schema/stored_procedure_script.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

// DB_E_NOTABLE (0x80040E37) as it appears in an error text.
constexpr const char* kNoSuchObject = "-2147217865";
// ERROR_RESOURCE_NAME_NOT_FOUND as an HRESULT.
constexpr int32_t kErrResourceNotFound = static_cast<int32_t>(0x80070716u);

}  // namespace

void SchemaMaintenance::InstallStoredProcedures(std::string& strError) {
  const voltrane::EventSteps steps = dialect().event_steps;
  if (steps == voltrane::EventSteps::kServerFunctions) InstallServerFunctions();
  if (steps != voltrane::EventSteps::kStoredProcedures) return;
  const std::optional<std::string_view> script = LoadTextResource(kStoredProcedureScriptId);
  if (!script) {
    throw ComError(kErrResourceNotFound, "InstallStoredProcedures",
                   "The stored procedure script is missing from the library.");
  }
  const std::vector<std::string> batches = SplitScriptBatches(*script);
  for (size_t i = 0; i < batches.size(); ++i) {
    strError.clear();
    int32_t lRecordsAffected = 0;
    if (ExecuteSQLCounted(batches[i], strError, lRecordsAffected)) {
      WriteExtendedErrorLog("InstallStoredProcedures " + std::to_string(i) + ": Success");
    } else if (strError.find(kNoSuchObject) != std::string::npos) {
      strError.clear();
    } else {
      WriteExtendedErrorLog("InstallStoredProcedures " + std::to_string(i) + ": " + strError);
    }
  }
}

}  // namespace korvex7::internal
