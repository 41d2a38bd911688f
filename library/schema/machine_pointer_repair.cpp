// Repair of the pointer between a machine and its current machine data
// record: a machine whose MACHINE_DATA_ID names a record of another machine
// gets that record back (the record's machine and hierarchy are set to the
// machine that points to it).
//
// strError collects a "Warning: " line per repaired machine and an "Error: "
// line for the first record whose update did not touch exactly one row; the
// repair stops there, and at the first failing statement (traced only).
// Never throws. Processing thread only.
#include <string>

#include "library/schema/schema_maintenance.h"
#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

constexpr const char* kMismatchQuery =
    " select * from ("
    "select m.*, md.MACHINE_ID as md_MACHINE_ID, md.GROUP_ID as md_GROUP_ID from T_SFC_MACHINE m"
    " left join T_SFC_MACHINE_DATA md on m.MACHINE_DATA_ID = md.MACHINE_DATA_ID"
    ") t where Machine_ID <> md_MACHINE_ID";

std::string ReplaceFirst(std::string text, const std::string& placeholder,
                         const std::string& value) {
  const size_t at = text.find(placeholder);
  if (at != std::string::npos) text.replace(at, placeholder.size(), value);
  return text;
}

std::string KeyOrNull(bool found, int32_t key) { return found ? std::to_string(key) : "null"; }

void AppendLine(std::string& text, const std::string& line) {
  if (!text.empty()) text += "\r\n";
  text += line;
}

}  // namespace

void SchemaMaintenance::CheckAndFixMachines(std::string& strError) {
  strError.clear();
  dbaccess::RecordsetPtr rs;
  try {
    rs = OpenQuery(kMismatchQuery);
    for (; !rs->Eof(); rs->MoveNext()) {
      const std::string machine = rs->Fields("MACHINE_ID").Value().ToText();
      const std::string message =
          "Detected %1 a problem with MachineID = " + machine +
          " reference to MACHINE_DATA mismatch, %2 pointing to MachineID = " +
          rs->Fields("md_MACHINE_ID").Value().ToText();
      int32_t lDeptID = 0;
      int32_t lLocationID = 0;
      int32_t lGroupID = 0;
      // A machine outside any group keeps its record, with no hierarchy
      // rather than made-up keys.
      const bool found = machine_hierarchy_(rs->Fields("MACHINE_ID").Value().ToLong(), lDeptID,
                                            lLocationID, lGroupID);
      const std::string sql =
          "UPDATE T_SFC_MACHINE_DATA set MACHINE_ID = " + machine +
          ", DEPT_ID = " + KeyOrNull(found, lDeptID) +
          ", LOCATION_ID = " + KeyOrNull(found, lLocationID) +
          ", GROUP_ID = " + KeyOrNull(found, lGroupID) +
          " WHERE MACHINE_DATA_ID = " + rs->Fields("MACHINE_DATA_ID").Value().ToText();
      std::string strExecError;
      int32_t lRecordsAffected = 0;
      if (!ExecuteSQLCounted(sql, strExecError, lRecordsAffected)) {
        WriteExtendedErrorLog("MachineDataCheck: " + strExecError);
        break;
      }
      if (lRecordsAffected != 1) {
        AppendLine(strError,
                   "Error: " + ReplaceFirst(ReplaceFirst(message, "%1", "but failed to repair"),
                                            "%2", "is erroneously"));
        break;
      }
      AppendLine(strError, "Warning: " + ReplaceFirst(ReplaceFirst(message, "%1", "and repaired"),
                                                      "%2", "was previously"));
      WriteExtendedErrorLog("MachineDataCheck: " + strError);
    }
  } catch (...) {
    strError = "MachineDataCheck: " + CurrentError().description;
  }
  CloseRecordset(rs);
}

}  // namespace korvex7::internal
