// Validation and completion of a closed machine data record. A record whose
// references were not all resolved (an unknown job, operation, user, part,
// serial number, downtime or scrap code) or that counted work without a part
// stays Closed until something repairs it and completes it again; the first
// failing check is written to the extended error log. Database errors reach
// the caller. Processing thread only.
#include <string>

#include "dbaccess/dialect.h"
#include "library/records/machine_records.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

using dbaccess::Variant;

bool IsNothing(const Variant& value) { return value.IsNull() || value.IsEmpty(); }

bool Has(dbaccess::Recordset& rs, const char* strColumn) {
  return !IsNothing(rs.Fields(strColumn).Value());
}

// An unresolved reference: no id, but the record it first appeared in.
bool Unresolved(dbaccess::Recordset& rs, const char* strID, const char* strDataStart) {
  return !Has(rs, strID) && Has(rs, strDataStart);
}

bool Positive(dbaccess::Recordset& rs, const char* strColumn) {
  return Has(rs, strColumn) && rs.Fields(strColumn).Value().ToDouble() > 0;
}

}  // namespace

bool MachineRecords::ValidateMachineDataRecord(int32_t lMachineDataID) {
  WriteExtendedErrorLog("ValidateMachineDataRecord");
  const std::string strFailure = FirstValidationFailure(lMachineDataID);
  if (strFailure.empty()) return false;
  WriteExtendedErrorLog(strFailure);
  return true;
}

std::string MachineRecords::FirstValidationFailure(int32_t lMachineDataID) {
  const std::string strHint = voltrane::NoLockHint(DatabaseType());
  const std::string strID = std::to_string(lMachineDataID);
  dbaccess::RecordsetPtr rsRecord = OpenMachineDataRecord(lMachineDataID);
  if (rsRecord->Eof()) return "";
  dbaccess::Recordset& rs = *rsRecord;
  if (!Has(rs, "CHART_DATE")) return "no CHART_DATE";
  if (Unresolved(rs, "JOB_ID", "JOB_DATA_START_ID")) return "invalid job number";
  if (Unresolved(rs, "OP_ID", "OP_DATA_START_ID")) return "invalid op number";
  if (Unresolved(rs, "USER_ID", "LOGON_DATA_START_ID")) return "invalid user name";
  const std::string strDowntimes =
      "select * from T_SFC_DT_PER_MACHINE_DATA " + strHint + " where MACHINE_DATA_ID = " + strID;
  if (!Has(rs, "USER_ID") && !Has(rs, "LOGON_DATA_START_ID")) {
    dbaccess::RecordsetPtr rsUser = OpenQuery(strDowntimes + " and DOWNTIME_TYPE_CODE = 1");
    const bool bUserDowntime = !rsUser->Eof();
    CloseRecordset(rsUser);
    if (bUserDowntime) return "invalid user name for user downtime";
  }
  if (Unresolved(rs, "PART_ID", "PART_DATA_START_ID")) return "invalid part number";
  if (!Has(rs, "PART_ID") && !Has(rs, "PART_DATA_START_ID")) {
    if (Positive(rs, "CYCLE_TIME")) return "cycle time but no part number";
    if (Positive(rs, "GOOD_COUNT")) return "good part count but no part number";
    if (Positive(rs, "SCRAPPED_COUNT")) return "scrapped part count but no part number";
    if (Positive(rs, "FINISHED_CYCLES")) return "finished cycles but no part number";
    if (Positive(rs, "UNFINISHED_CYCLES")) return "unfinished cycles but no part number";
  }
  if (IsV12Database()) {
    if (Unresolved(rs, "PART_SERIAL_NO_ID", "SERIAL_NO_DATA_START_ID")) {
      return "invalid part serial number";
    }
    if (Has(rs, "PART_SERIAL_NO_ID")) WriteExtendedErrorLog("Got part serial no");
  }
  CloseRecordset(rsRecord);
  if (AnyUnresolvedRow(strDowntimes, "DOWNTIME_CODE_ID", "DT_DATA_START_ID")) {
    return "invalid downtime code number";
  }
  if (AnyUnresolvedRow("select * from T_SFC_SCRAP_PER_MACHINE_DATA " + strHint +
                           " where MACHINE_DATA_ID = " + strID,
                       "SCRAP_CODE_ID", "SCRAP_DATA_START_ID")) {
    return "invalid scrap code number";
  }
  return "";
}

bool MachineRecords::AnyUnresolvedRow(const std::string& strSQL, const char* strID,
                                      const char* strDataStart) {
  dbaccess::RecordsetPtr rs = OpenQuery(strSQL);
  bool bFound = false;
  for (; !rs->Eof() && !bFound; rs->MoveNext()) bFound = Unresolved(*rs, strID, strDataStart);
  CloseRecordset(rs);
  return bFound;
}

void MachineRecords::CompleteMachineDataRecord(int32_t lMachineDataID) {
  if (ValidateMachineDataRecord(lMachineDataID)) {
    WriteExtendedErrorLog("Error, invalid record: " + std::to_string(lMachineDataID));
    return;
  }
  state_.ForgetRecord(lMachineDataID);
  ExecuteStatement("update T_SFC_MACHINE_DATA  set STATUS_CODE = 2 where MACHINE_DATA_ID = " +
                   std::to_string(lMachineDataID));
}

}  // namespace korvex7::internal
