#include "reports/machine_directory.h"

#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "reports/report_sql.h"

namespace reports {

namespace {

std::string Text(const dbaccess::Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

}  // namespace

std::map<int64_t, MachineEntry> ReadMachines(const dbaccess::ConnectionPtr& connection,
                                             int32_t kind,
                                             const std::vector<std::string>& machines) {
  dbaccess::Recordset rs;
  rs.Open("select m.MACHINE_ID, m.MACHINE_NUMBER, m.MACHINE_NAME from T_SFC_MACHINE m " +
              voltrane::NoLockHint(kind) + " where 1 = 1" +
              MachineFilter(kind, "m.MACHINE_NUMBER", machines),
          connection);
  std::map<int64_t, MachineEntry> read;
  for (; !rs.Eof(); rs.MoveNext()) {
    read[rs.Fields("MACHINE_ID").Value().ToInt64()] = {Text(rs.Fields("MACHINE_NUMBER").Value()),
                                                       Text(rs.Fields("MACHINE_NAME").Value())};
  }
  return read;
}

std::map<int64_t, std::string> ReadShiftNames(const dbaccess::ConnectionPtr& connection,
                                              int32_t kind) {
  dbaccess::Recordset rs;
  rs.Open("select SHIFT_ID, SHIFT_NAME from T_SFC_SHIFT " + voltrane::NoLockHint(kind), connection);
  std::map<int64_t, std::string> names;
  for (; !rs.Eof(); rs.MoveNext()) {
    names[rs.Fields("SHIFT_ID").Value().ToInt64()] = Text(rs.Fields("SHIFT_NAME").Value());
  }
  return names;
}

std::string MachineIdFilter(const std::string& column, const std::map<int64_t, MachineEntry>& read,
                            const std::vector<std::string>& asked) {
  if (asked.empty()) return "";
  std::string list;
  for (const auto& [id, entry] : read) list += (list.empty() ? "" : ", ") + std::to_string(id);
  return " and " + column + " in (" + (list.empty() ? "-1" : list) + ")";
}

}  // namespace reports
