// Reading the batch cache's current row into a LogEntry.
#include "library/core/log_entry.h"

namespace korvex7::internal {

namespace {

int32_t LongOr(const dbaccess::Variant& value, int32_t lWhenNull) {
  return value.IsNull() || value.IsEmpty() ? lWhenNull : value.ToLong();
}

}  // namespace

LogEntry ReadLogEntry(dbaccess::Recordset& rs) {
  LogEntry entry;
  const dbaccess::Variant vParam = rs.Fields("PARAM1").Value();
  entry.strParam = vParam.IsNull() || vParam.IsEmpty() ? "" : vParam.ToText();
  entry.lCommandID = LongOr(rs.Fields("COMMAND_ID").Value(), -1);
  entry.lCommandTimeCode = LongOr(rs.Fields("COMMAND_TIME_CODE").Value(), -1);
  entry.dtTime = rs.Fields("TS").Value().ToDateTime();
  entry.machine.lDeptID = rs.Fields("DEPT_ID").Value().ToLong();
  entry.machine.lLocationID = rs.Fields("LOCATION_ID").Value().ToLong();
  entry.machine.lGroupID = rs.Fields("GROUP_ID").Value().ToLong();
  entry.machine.lMachineID = rs.Fields("MACHINE_ID").Value().ToLong();
  entry.lMDCLogID = rs.Fields("MDC_LOG_ID").Value().ToLong();
  return entry;
}

}  // namespace korvex7::internal
