// The machine's side of its records: the pointer to its current record, its
// status code and status date, its standard cycle time for a part, and the
// SQL Server insert that returns the new row's identity. Database errors
// reach the caller, except InsertReturningIdentity, which reports them as a
// false result with the error's text; the status, written last by the
// handlers that set it, may wait for the row's next statement and fail the
// row there (Session::WriteInRow). Processing thread only.
#include <optional>
#include <string>

#include "dbaccess/dialect.h"
#include "library/records/machine_records.h"
#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

bool IsNothing(const dbaccess::Variant& value) { return value.IsNull() || value.IsEmpty(); }

}  // namespace

void MachineRecords::SetMachineDataPointer(int32_t lMachineID, int32_t lMachineDataID) {
  state_.ForgetMachine(lMachineID);
  ExecuteStatement("update T_SFC_MACHINE  set MACHINE_DATA_ID = " + std::to_string(lMachineDataID) +
                   " where MACHINE_ID = " + std::to_string(lMachineID));
}

void MachineRecords::SetMachineStatus(int32_t lMachineID, int32_t lStatusCode,
                                      const dbaccess::DateTime& dtStatusDate) {
  // A machine without a row is left alone: the update changes nothing.
  // The write may wait, so its count is not known: the status is kept only
  // for a machine whose row was seen (its status kept before).
  const bool bRowSeen = state_.HoldsStatus(lMachineID);
  state_.ForgetStatus(lMachineID);
  WriteInRow("update T_SFC_MACHINE set STATUS_CODE = ?, STATUS_DATE = ? where MACHINE_ID = ?",
             {lStatusCode, dtStatusDate, lMachineID});
  if (bRowSeen) state_.KeepStatus(lMachineID, lStatusCode);
}

std::optional<bool> MachineRecords::KeptRecordHasPart(int32_t lMachineID) {
  const std::optional<dbaccess::Variant> vDataStart =
      state_.PeekCurrentRecord(lMachineID, "PART_DATA_START_ID");
  if (!vDataStart) return std::nullopt;
  if (!IsNothing(*vDataStart)) return true;
  const std::optional<dbaccess::Variant> vPart = state_.PeekCurrentRecord(lMachineID, "PART_ID");
  if (!vPart) return std::nullopt;
  return !IsNothing(*vPart);
}

int32_t MachineRecords::GetMachineStatus(int32_t lMachineID) {
  if (const std::optional<int32_t> lKept = state_.Status(lMachineID)) return *lKept;
  dbaccess::RecordsetPtr rs =
      OpenQuery("select STATUS_CODE from T_SFC_MACHINE " + voltrane::NoLockHint(DatabaseType()) +
                " where MACHINE_ID = " + std::to_string(lMachineID));
  int32_t lStatus = -1;
  if (!rs->Eof() && !IsNothing(rs->Fields(size_t{0}).Value())) {
    lStatus = rs->Fields(size_t{0}).Value().ToLong();
    state_.KeepStatus(lMachineID, lStatus);
  }
  CloseRecordset(rs);
  return lStatus;
}

int32_t MachineRecords::GetMachineStatusAndDowntime(int32_t lMachineID, int32_t& lDowntimeCodeID) {
  const std::string strHint = voltrane::NoLockHint(DatabaseType());
  dbaccess::RecordsetPtr rs =
      OpenQuery("select STATUS_CODE,DOWNTIME_CODE_ID from T_SFC_MACHINE m " + strHint +
                " left join T_SFC_DT_PER_MACHINE_DATA dtpm " + strHint +
                " on m.MACHINE_DATA_ID = dtpm.MACHINE_DATA_ID where MACHINE_ID = " +
                std::to_string(lMachineID) + " and STOP_TIME is null");
  int32_t lStatus = -1;
  if (!rs->Eof()) {
    const dbaccess::Variant vCode = rs->Fields("DOWNTIME_CODE_ID").Value();
    if (!IsNothing(vCode)) lDowntimeCodeID = vCode.ToLong();
    const dbaccess::Variant vStatus = rs->Fields("STATUS_CODE").Value();
    if (!IsNothing(vStatus)) lStatus = vStatus.ToLong();
  }
  CloseRecordset(rs);
  return lStatus;
}

int32_t MachineRecords::GetMachineStatusAndPart(int32_t lMachineID, bool& bHasPart) {
  if (const std::optional<int32_t> lKept = state_.Status(lMachineID)) {
    if (const std::optional<bool> bKeptPart = KeptRecordHasPart(lMachineID)) {
      bHasPart = *bKeptPart;
      return *lKept;
    }
  }
  const std::string strHint = voltrane::NoLockHint(DatabaseType());
  dbaccess::RecordsetPtr rs =
      OpenQuery("select m.STATUS_CODE, md.PART_DATA_START_ID, md.PART_ID from T_SFC_MACHINE m" +
                strHint + " left join T_SFC_MACHINE_DATA md" + strHint +
                " on md.MACHINE_DATA_ID = m.MACHINE_DATA_ID where m.MACHINE_ID = " +
                std::to_string(lMachineID));
  int32_t lStatus = -1;
  bHasPart = false;
  if (!rs->Eof()) {
    const dbaccess::Variant vStatus = rs->Fields("STATUS_CODE").Value();
    if (!IsNothing(vStatus)) {
      lStatus = vStatus.ToLong();
      state_.KeepStatus(lMachineID, lStatus);
    }
    bHasPart = !IsNothing(rs->Fields("PART_DATA_START_ID").Value()) ||
               !IsNothing(rs->Fields("PART_ID").Value());
  }
  CloseRecordset(rs);
  return lStatus;
}

double MachineRecords::GetStandardCycleTime(int32_t lMachineID, int32_t lPartID) {
  const dbaccess::Variant v = GetScalarValue(
      "select CYCLE_TIME from T_SFC_MACHINE_PPH where MACHINE_ID = " + std::to_string(lMachineID) +
      " and PART_ID = " + std::to_string(lPartID));
  return IsNothing(v) ? 0.0 : v.ToDouble();
}

bool MachineRecords::InsertReturningIdentity(const std::string& strTable,
                                             const std::string& strColumns,
                                             const std::string& strValues, int32_t& lNewID,
                                             std::string& strError) {
  const std::string strSQL = "SET NOCOUNT ON; SET DATEFORMAT MDY; INSERT INTO " + strTable + " (" +
                             strColumns + ") VALUES (" + strValues +
                             "); SELECT SCOPE_IDENTITY() AS [SCOPE_IDENTITY]; SET NOCOUNT OFF;";
  dbaccess::RecordsetPtr rs;
  try {
    rs = OpenQuery(strSQL);
    lNewID = rs->Fields(size_t{0}).Value().ToLong();
  } catch (...) {
    strError = CurrentError().description;
    CloseRecordset(rs);
    return false;
  }
  CloseRecordset(rs);
  return true;
}

}  // namespace korvex7::internal
