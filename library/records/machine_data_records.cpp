// The machine data record lifecycle, the primitives below the current-record
// entry points: creating the record that continues the current one, closing
// the old one's running periods and open downtimes, and the close-and-roll
// sequence both the reference handlers' split and the shift handling end a
// record with. Nothing here calls back up into them. Every machine always has one
// open record that T_SFC_MACHINE.MACHINE_DATA_ID points to. The operations
// run inside the calling handler's transaction and let database errors reach
// it, so a failed split leaves the old record current. Times are the log
// entry's, never the clock. Processing thread only.
#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dbaccess/dialect.h"
#include "library/records/machine_records.h"
#include "library/records/record_periods.h"
#include "library/records/shift_dates.h"
#include "library/session/extended_error_log.h"
#include "library/session/sql_date_time.h"

namespace korvex7::internal {

namespace {

using dbaccess::DateTime;
using dbaccess::Variant;
using Columns = MachineRecords::RowValues;

bool IsNothing(const Variant& value) { return value.IsNull() || value.IsEmpty(); }

const char* const kPeriodStarts[] = {"SETUP_START_TIME", "TEARDOWN_START_TIME", "CYCLE_START_TIME",
                                     "IDLE_START_TIME"};
const char* const kCounters[] = {"SETUP_TIME", "TEARDOWN_TIME",   "CYCLE_TIME",
                                 "IDLE_TIME",  "FINISHED_CYCLES", "UNFINISHED_CYCLES",
                                 "GOOD_COUNT", "SCRAPPED_COUNT"};

// The columns each split kind does not carry over, by MachineDataSplitKind.
const std::vector<std::vector<std::string>> kSplitColumns = {
    {"SHIFT_ID", "SHIFT_END", "CHART_DATE"},
    {"JOB_ID", "JOB_NUMBER", "JOB_DATA_START_ID"},
    {"PART_TYPE_ID", "PART_ID", "PART_NUMBER", "PART_DATA_START_ID"},
    {"USER_ID", "USER_NAME", "LOGON_DATA_START_ID"},
    {"OP_ID", "OP_NUMBER", "OP_DATA_START_ID"},
    {"PART_SERIAL_NO_ID", "PART_SERIAL_NO", "SERIAL_NO_DATA_START_ID"},
};

// The carried columns in the order of the SQL Server insert, between the
// counters and the user, operation and serial groups.
const char* const kShiftJobPart[] = {"SHIFT_ID",    "SHIFT_END",         "CHART_DATE",   "JOB_ID",
                                     "JOB_NUMBER",  "JOB_DATA_START_ID", "PART_TYPE_ID", "PART_ID",
                                     "PART_NUMBER", "PART_DATA_START_ID"};
const char* const kSerial[] = {"PART_SERIAL_NO_ID", "PART_SERIAL_NO", "SERIAL_NO_DATA_START_ID"};
const char* const kUserOp[] = {"USER_ID", "USER_NAME", "LOGON_DATA_START_ID",
                               "OP_ID",   "OP_NUMBER", "OP_DATA_START_ID"};

const std::set<std::string> kTextColumns = {"JOB_NUMBER", "PART_NUMBER", "PART_SERIAL_NO",
                                            "USER_NAME", "OP_NUMBER"};
const std::set<std::string> kDateColumns = {
    "START_TIME",      "SETUP_START_TIME", "TEARDOWN_START_TIME", "CYCLE_START_TIME",
    "IDLE_START_TIME", "SHIFT_END",        "CHART_DATE"};

// Adds the elapsed time of a running period to its accumulator and ends it.
void EndPeriod(dbaccess::Recordset& rs, const char* strStart, const char* strAccumulator,
               double dSecondsPerUnit, const DateTime& dtStop) {
  const Variant vStart = rs.Fields(strStart).Value();
  if (IsNothing(vStart)) return;
  const Variant vTotal = rs.Fields(strAccumulator).Value();
  const float fTotal = IsNothing(vTotal) ? 0.0f : static_cast<float>(vTotal.ToDouble());
  const float fSum = fTotal + ElapsedUnits(vStart.ToDateTime(), dtStop, dSecondsPerUnit);
  rs.Fields(strAccumulator) = static_cast<double>(fSum);
  rs.Fields(strStart) = Variant::Null();
}

}  // namespace

dbaccess::RecordsetPtr MachineRecords::OpenMachineDataRecord(int32_t lMachineDataID) {
  dbaccess::RecordsetPtr rs =
      OpenQuery("select * from T_SFC_MACHINE_DATA " + voltrane::NoLockHint(DatabaseType()) +
                " where MACHINE_DATA_ID = " + std::to_string(lMachineDataID));
  // Its caller may write the record through it.
  state_.WatchOtherRecordset(lMachineDataID, rs);
  return rs;
}

int32_t MachineRecords::CreateNextMachineDataRecord(const MachineKeys& machine,
                                                    int32_t lPrevMachineDataID,
                                                    MachineDataSplitKind eKind,
                                                    const DateTime& dtTime) {
  WriteExtendedErrorLog("CreateNextMachineDataRecord");
  dbaccess::RecordsetPtr rsPrev = OpenQuery(
      "select md.*, pph.CYCLE_TIME as STD_CYCLE_TIME from T_SFC_MACHINE_DATA md left join "
      "T_SFC_MACHINE_PPH pph on (md.MACHINE_ID = pph.MACHINE_ID and md.PART_ID = pph.PART_ID)"
      " where MACHINE_DATA_ID = " +
      std::to_string(lPrevMachineDataID));
  const bool bPrevious = !rsPrev->Eof();
  const std::vector<std::string>& notCarried = kSplitColumns[static_cast<size_t>(eKind)];
  auto carried = [&](const std::string& strColumn) -> Variant {
    if (!bPrevious) return Variant::Null();
    for (const std::string& c : notCarried) {
      if (c == strColumn) return Variant::Null();
    }
    const Variant v = rsPrev->Fields(strColumn).Value();
    return IsNothing(v) ? Variant::Null() : v;
  };

  Columns row;
  row.emplace_back("START_TIME", dtTime);
  for (const char* c : {"DEPT_ID", "LOCATION_ID", "GROUP_ID", "MACHINE_ID"}) {
    row.emplace_back(c, bPrevious ? rsPrev->Fields(c).Value() : Variant::Null());
  }
  if (!bPrevious) {
    // The machine's first record: its keys are those of the command.
    row[1].second = machine.lDeptID;
    row[2].second = machine.lLocationID;
    row[3].second = machine.lGroupID;
    row[4].second = machine.lMachineID;
  }
  row.emplace_back("STATUS_CODE", static_cast<int32_t>(MachineDataStatus::Open));
  row.emplace_back("IS_MANUAL", 0);
  for (const char* c : kPeriodStarts) {
    // A period that was running continues in the new record from the split.
    const bool bRunning =
        bPrevious ? !IsNothing(rsPrev->Fields(c).Value()) : std::string(c) == "IDLE_START_TIME";
    row.emplace_back(c, bRunning ? Variant(dtTime) : Variant::Null());
  }
  for (const char* c : kCounters) row.emplace_back(c, 0);
  for (const char* c : kShiftJobPart) row.emplace_back(c, carried(c));
  if (bPrevious && IsNothing(rsPrev->Fields("CHART_DATE").Value())) {
    WriteExtendedErrorLog("NULL CHART DATE");
    if (eKind != MachineDataSplitKind::Shift) {
      for (auto& [name, value] : row) {
        if (name == "CHART_DATE") value = DatePartOnly(dtTime);
      }
    }
  }
  if (!bPrevious) {
    for (auto& [name, value] : row) {
      if (name == "CHART_DATE") value = dtTime;
    }
  }
  if (IsV12Database()) {
    for (const char* c : kSerial) row.emplace_back(c, carried(c));
    const Variant vStd = bPrevious ? rsPrev->Fields("STD_CYCLE_TIME").Value() : Variant();
    row.emplace_back("STANDARD_TIME", IsNothing(vStd) ? 0.0 : vStd.ToDouble());
  }
  for (const char* c : kUserOp) row.emplace_back(c, carried(c));
  CloseRecordset(rsPrev);

  state_.ForgetMachine(machine.lMachineID);
  const int32_t lNewID = StoreMachineDataRecord(row);
  if (bPrevious) CarryOpenDowntimes(lPrevMachineDataID, lNewID, dtTime);
  return lNewID;
}

int32_t MachineRecords::StoreMachineDataRecord(const RowValues& row) {
  if (dialect().inserted_key != voltrane::InsertedKey::kIdentityBatch) {
    return InsertRowReturningKey("T_SFC_MACHINE_DATA", "MACHINE_DATA_ID", row);
  }
  std::string strColumns;
  std::string strValues;
  for (const auto& [name, value] : row) {
    if (IsNothing(value)) continue;
    std::string strValue;
    if (kDateColumns.count(name)) {
      strValue = QuotedInsertDateTime(value.ToDateTime());
    } else if (kTextColumns.count(name)) {
      strValue = voltrane::QuotedStr(DatabaseType(), value.ToText());
    } else {
      strValue = value.ToText();
    }
    strColumns += (strColumns.empty() ? "" : ", ") + name;
    strValues += (strValues.empty() ? "" : ", ") + strValue;
  }
  int32_t lNewID = 0;
  std::string strError;
  if (!InsertReturningIdentity("T_SFC_MACHINE_DATA", strColumns, strValues, lNewID, strError)) {
    throw dbaccess::DbError(dbaccess::kErrGenericFailure, strError);
  }
  return lNewID;
}

void MachineRecords::CarryOpenDowntimes(int32_t lPrevMachineDataID, int32_t lNewMachineDataID,
                                        const DateTime& dtTime) {
  const std::string strHint = dialect().SpacedTableHint();
  dbaccess::RecordsetPtr rsOpen =
      OpenQuery("select * from T_SFC_DT_PER_MACHINE_DATA " + strHint + " where MACHINE_DATA_ID = " +
                std::to_string(lPrevMachineDataID) + " and STOP_TIME IS NULL");
  for (; !rsOpen->Eof(); rsOpen->MoveNext()) {
    RowValues row = {{"MACHINE_DATA_ID", lNewMachineDataID}};
    for (const char* c :
         {"DOWNTIME_CODE_ID", "DT_NUMBER", "DT_DATA_START_ID", "DOWNTIME_TYPE_CODE"}) {
      row.emplace_back(c, rsOpen->Fields(c).Value());
    }
    row.emplace_back("DURATION", 0.0);
    row.emplace_back("START_TIME", dtTime);
    row.emplace_back("STOP_TIME", Variant::Null());
    InsertRowReturningKey("T_SFC_DT_PER_MACHINE_DATA", "DT_PER_MACHINE_DATA_ID", row);
  }
  CloseRecordset(rsOpen);
}

void MachineRecords::PrepareMachineDataRecordForCompletion(int32_t lMachineDataID,
                                                           const DateTime& dtStopTime) {
  WriteExtendedErrorLog("PrepareMachineDataRecordForCompletion");
  dbaccess::RecordsetPtr rs = OpenMachineDataRecord(lMachineDataID);
  if (!rs->Eof()) {
    EndPeriod(*rs, "CYCLE_START_TIME", "CYCLE_TIME", 60.0, dtStopTime);
    EndPeriod(*rs, "SETUP_START_TIME", "SETUP_TIME", 3600.0, dtStopTime);
    EndPeriod(*rs, "TEARDOWN_START_TIME", "TEARDOWN_TIME", 3600.0, dtStopTime);
    EndPeriod(*rs, "IDLE_START_TIME", "IDLE_TIME", 3600.0, dtStopTime);
    rs->Fields("STATUS_CODE") = static_cast<int32_t>(MachineDataStatus::Closed);
    rs->Update();
  }
  CloseRecordset(rs);

  dbaccess::RecordsetPtr rsDown = OpenQuery(
      "select * from T_SFC_DT_PER_MACHINE_DATA " + voltrane::NoLockHint(DatabaseType()) +
      " where MACHINE_DATA_ID = " + std::to_string(lMachineDataID) + " and STOP_TIME IS NULL");
  for (; !rsDown->Eof(); rsDown->MoveNext()) {
    const DateTime dtStart = rsDown->Fields("START_TIME").Value().ToDateTime();
    rsDown->Fields("DURATION") = static_cast<double>(ElapsedUnits(dtStart, dtStopTime, 3600.0));
    rsDown->Fields("STOP_TIME") = dtStopTime;
    rsDown->Update();
  }
  CloseRecordset(rsDown);
}

int32_t MachineRecords::SplitMachineDataRecord(
    int32_t lMachineID, dbaccess::Recordset& rsCurrent, MachineDataSplitKind eKind,
    const DateTime& dtTime, const std::function<void(dbaccess::Recordset&)>& writeNew) {
  const int32_t lCurrentID = rsCurrent.Fields("MACHINE_DATA_ID").Value().ToLong();
  state_.ForgetMachine(lMachineID);
  rsCurrent.Fields("STOP_TIME") = dtTime;
  rsCurrent.Update();
  // A split always has the current record to take the other keys from.
  MachineKeys machine;
  machine.lMachineID = lMachineID;
  return RollToNextRecord(machine, lCurrentID, eKind, dtTime, writeNew);
}

int32_t MachineRecords::RollToNextRecord(const MachineKeys& machine, int32_t lClosingID,
                                         MachineDataSplitKind eKind, const DateTime& dtTime,
                                         const std::function<void(dbaccess::Recordset&)>& writeNext,
                                         int32_t lReusedID) {
  const int32_t lNextID =
      lReusedID != -1 ? lReusedID : CreateNextMachineDataRecord(machine, lClosingID, eKind, dtTime);
  dbaccess::RecordsetPtr rsNext = OpenMachineDataRecord(lNextID);
  writeNext(*rsNext);
  if (rsNext->EditPending()) rsNext->Update();
  CloseRecordset(rsNext);
  if (lClosingID != -1) PrepareMachineDataRecordForCompletion(lClosingID, dtTime);
  SetMachineDataPointer(machine.lMachineID, lNextID);
  if (lClosingID != -1) CompleteMachineDataRecord(lClosingID);
  return lNextID;
}

}  // namespace korvex7::internal
