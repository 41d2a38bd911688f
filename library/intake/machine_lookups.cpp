// Machine lookups shared by the intake and the handlers: the department,
// location and group a machine belongs to, the machine behind an outside DNC
// key, and whether the log still holds rows for a machine.
//
// GetMachineHierarchy lets a database error reach its caller, whose own error
// handling names the step; GetMachineIDForVoltraneID and
// CountLogRowsForMachine report a failure as "none" (-1, false), because the
// DNC intake that calls them has no error handling of its own. Nothing is
// cached: machines move between groups while the library runs.
#include <string>

#include "dbaccess/dialect.h"
#include "library/intake/intake.h"
#include "library/intake/intake_sql.h"

namespace korvex7::internal {

bool Intake::GetMachineHierarchy(int32_t lMachineID, int32_t& lDeptID, int32_t& lLocationID,
                                 int32_t& lGroupID) {
  const std::string hint = voltrane::NoLockHint(DatabaseType());
  const std::string sql = "select m.GROUP_ID, g.LOCATION_ID, l.DEPT_ID from T_SFC_MACHINE m" +
                          hint + ", T_SFC_GROUP g" + hint + ", T_SFC_LOCATION l" + hint +
                          " where m.MACHINE_ID = " + std::to_string(lMachineID) +
                          " and g.GROUP_ID = m.GROUP_ID and l.LOCATION_ID = g.LOCATION_ID";
  dbaccess::RecordsetPtr rs;
  try {
    rs = OpenQuery(sql);
    bool found = false;
    if (!rs->Eof()) {
      const int32_t dept = rs->Fields("DEPT_ID").Value().ToLong();
      const int32_t location = rs->Fields("LOCATION_ID").Value().ToLong();
      const int32_t group = rs->Fields("GROUP_ID").Value().ToLong();
      lDeptID = dept;
      lLocationID = location;
      lGroupID = group;
      found = true;
    }
    CloseRecordset(rs);
    return found;
  } catch (...) {
    CloseRecordset(rs);
    throw;
  }
}

bool Intake::CountLogRowsForMachine(int32_t lMachineID) {
  const std::string sql = "select COUNT(MDC_LOG_ID) AS CT from T_SFC_MDC_LOG " +
                          voltrane::NoLockHint(DatabaseType()) +
                          " where MACHINE_ID = " + std::to_string(lMachineID);
  dbaccess::RecordsetPtr rs;
  bool any = false;
  try {
    rs = OpenQuery(sql);
    if (!rs->Eof()) any = rs->Fields("CT").Value().ToInt64() >= 1;
  } catch (...) {
    any = false;
  }
  CloseRecordset(rs);
  return any;
}

int32_t Intake::GetMachineIDForVoltraneID(int32_t lMachineVoltraneID) {
  const std::string sql = "select MACHINE_ID from T_SFC_MACHINE " + NoLockHint2(DatabaseType()) +
                          " where VOLTRANE_ID = " + std::to_string(lMachineVoltraneID);
  dbaccess::RecordsetPtr rs;
  int32_t machine = -1;
  try {
    rs = OpenQuery(sql);
    if (!rs->Eof()) machine = rs->Fields("MACHINE_ID").Value().ToLong();
  } catch (...) {
    machine = -1;
  }
  CloseRecordset(rs);
  return machine;
}

}  // namespace korvex7::internal
