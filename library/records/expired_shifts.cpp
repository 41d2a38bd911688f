// Expired shift handling: brings a machine's records up to a time, below the
// current-record entry points (current_record.cpp) and above the record
// primitives, whose close-and-roll sequence ends each record. While the
// current record's shift end lies before that time, the record is closed at
// the shift end and the next one starts there with the next shift's key, end
// and chart date; records of swing shifts are split at midnight as well, both
// halves keeping the evening's chart date. A row older than what the machine
// already recorded is refused with error 10001 (the loop then removes it).
// Inside a handler's transaction errors pass through; with its own
// transaction (refresh requests) it commits record by record, so a long
// catch-up shows its progress and survives a failure of a later pass.
// Processing thread only.
#include <algorithm>
#include <optional>
#include <string>

#include "dbaccess/dialect.h"
#include "dbaccess/elapsed_time.h"
#include "library/core/out_of_order.h"
#include "library/records/machine_records.h"
#include "library/records/shift_dates.h"
#include "library/session/extended_error_log.h"
#include "library/session/sql_date_time.h"

namespace korvex7::internal {

namespace {

using dbaccess::DateTime;
using dbaccess::Variant;

bool IsNothing(const Variant& value) { return value.IsNull() || value.IsEmpty(); }

// The no-shift stop: a boundary still to be computed.
DateTime NoShiftSentinel() { return ShiftBaseDay().AddMinutes(17 * 60); }

std::string Text(const DateTime& dtValue) { return FormatSQLDateTime(dtValue); }

// The instant a stored time stands for, read against the latest instant
// recorded: the earliest one not older, else (a truly older time) its latest.
// Only inside a repeated hour is there a choice.
int64_t MomentAfter(const DateTime& dtValue, int64_t lLatestMoment) {
  const std::optional<int64_t> lMoment = dbaccess::EarliestMomentNotBefore(dtValue, lLatestMoment);
  return lMoment ? *lMoment : dbaccess::MomentsOf(dtValue).back();
}

// Whether the row's time lies beyond the boundary: inside a repeated hour a
// row of the second pass lies beyond a boundary of the first.
bool BeyondBoundary(int64_t lLatestMoment, const DateTime& dtBoundary, const DateTime& dtTime) {
  return MomentAfter(dtTime, lLatestMoment) > MomentAfter(dtBoundary, lLatestMoment);
}

}  // namespace

bool MachineRecords::BringRecordsUpTo(const MachineKeys& machine, const DateTime& dtTime,
                                      int32_t& lMachineDataID, bool bOwnTransaction,
                                      dbaccess::RecordsetPtr* prsCurrent) {
  const int32_t lMachineID = machine.lMachineID;
  WriteExtendedErrorLog("HandleExpiredShifts(lMachineID=" + std::to_string(lMachineID) + ", dt " +
                        Text(dtTime) + "):");
  ShiftPass pass = ReadCurrentShiftRecord(lMachineID, dtTime);
  WriteExtendedErrorLog("HandleExpiredShifts-A");
  lMachineDataID = pass.lRecordID;
  if (pass.lRecordID != -1) RefuseOutOfOrder(pass, dtTime);
  bool bComputeFirst = pass.lRecordID != -1;
  for (;;) {
    if (bComputeFirst) {
      WriteExtendedErrorLog("HandleExpiredShifts-B");
      if (pass.dtBoundary == NoShiftSentinel()) ComputeBoundary(lMachineID, pass);
      if (!BeyondBoundary(pass.lLatestMoment, pass.dtBoundary, dtTime)) {
        WriteExtendedErrorLog("HandleExpiredShifts-Done");
        lMachineDataID = pass.lRecordID;
        if (prsCurrent != nullptr) *prsCurrent = pass.rsRecord;
        return true;
      }
    }
    bComputeFirst = true;
    pass.rsRecord.reset();
    lMachineDataID = CloseRecordAtBoundary(machine, pass);
    if (bOwnTransaction && !commit_progress_()) return false;
  }
}

MachineRecords::ShiftPass MachineRecords::ReadCurrentShiftRecord(int32_t lMachineID,
                                                                 const DateTime& dtTime) {
  // The whole record, as one table's row: the handler that asked edits it.
  const std::string strHint = voltrane::NoLockHint(DatabaseType());
  const std::string strSQL =
      "select * from T_SFC_MACHINE_DATA" + strHint +
      " where MACHINE_DATA_ID = (select MACHINE_DATA_ID from T_SFC_MACHINE" + strHint +
      " where MACHINE_ID = " + std::to_string(lMachineID) + ")";
  dbaccess::RecordsetPtr rs = state_.CurrentRecord(lMachineID, strSQL);
  if (!rs) {
    rs = state_.KeepCurrentRecord(lMachineID, OpenQuery(strSQL), strSQL);
  }
  ShiftPass pass;
  if (rs->Eof()) {
    // The machine's first record starts at the row's time.
    pass.dtBoundary = dtTime;
    CloseRecordset(rs);
    return pass;
  }
  pass.rsRecord = rs;
  pass.lRecordID = rs->Fields("MACHINE_DATA_ID").Value().ToLong();
  pass.dtRecordStart = rs->Fields("START_TIME").Value().ToDateTime();
  const Variant vUser = rs->Fields("USER_NAME").Value();
  pass.strUserName = IsNothing(vUser) ? "" : vUser.ToText();
  pass.dtLatest = pass.dtRecordStart;
  // The record's start is read as the first pass of a repeated hour (rows
  // are kept rather than lost); its periods began after it.
  pass.lLatestMoment = dbaccess::MomentsOf(TruncateToSeconds(pass.dtRecordStart)).front();
  const int64_t lStartMoment = pass.lLatestMoment;
  for (const char* c :
       {"CYCLE_START_TIME", "IDLE_START_TIME", "SETUP_START_TIME", "TEARDOWN_START_TIME"}) {
    const Variant v = rs->Fields(c).Value();
    if (IsNothing(v)) continue;
    const int64_t lMoment = MomentAfter(TruncateToSeconds(v.ToDateTime()), lStartMoment);
    if (lMoment > pass.lLatestMoment) {
      pass.dtLatest = v.ToDateTime();
      pass.lLatestMoment = lMoment;
    }
  }
  const Variant vShift = rs->Fields("SHIFT_ID").Value();
  const Variant vEnd = rs->Fields("SHIFT_END").Value();
  pass.dtBoundary = NoShiftSentinel();
  if (IsNothing(vShift)) {
    WriteExtendedErrorLog("it a null shift, machine_id = " + std::to_string(lMachineID));
    return pass;
  }
  pass.lShiftID = vShift.ToLong();
  if (IsNothing(vEnd)) {
    WriteExtendedErrorLog("Missing SHIFT_END, MDID = " + std::to_string(pass.lRecordID) +
                          ", SHIFT_ID=" + std::to_string(pass.lShiftID));
    pass.lShiftID = -1;
    return pass;
  }
  pass.dtBoundary = vEnd.ToDateTime();
  if (DatePartOnly(pass.dtRecordStart) != DatePartOnly(pass.dtBoundary) &&
      !IsMidnight(pass.dtBoundary)) {
    // The record spans midnight: end it there first.
    pass.dtPendingRealEnd = pass.dtBoundary;
    pass.dtBoundary = DatePartOnly(pass.dtBoundary);
  }
  return pass;
}

void MachineRecords::RefuseOutOfOrder(const ShiftPass& pass, const DateTime& dtTime) {
  // Inside a repeated hour a reading that looks older is taken from the
  // second pass when that is not older than the latest recorded time.
  if (!dbaccess::EarliestMomentNotBefore(TruncateToSeconds(dtTime), pass.lLatestMoment)) {
    throw OutOfOrderRow();
  }
}

void MachineRecords::ComputeBoundary(int32_t lMachineID, ShiftPass& pass) {
  int32_t lShiftID = pass.lShiftID;
  bool bIsSwing = false;
  pass.dtBoundary = GetNextShiftStart(pass.dtRecordStart, lMachineID, lShiftID, bIsSwing);
  if (bIsSwing && lShiftID != -1 && !IsMidnight(pass.dtBoundary) &&
      pass.dtBoundary > pass.dtRecordStart) {
    WriteExtendedErrorLog("Do we need to split a swing shift?");
  }
  if (pass.dtBoundary == pass.dtRecordStart && lShiftID == -1 && pass.lShiftID == -1 &&
      IsMidnight(pass.dtBoundary)) {
    // A record beginning at a midnight without a shift is not ended at once.
    const DateTime dtOld = pass.dtBoundary;
    pass.dtBoundary = pass.dtBoundary.AddDays(1);
    WriteExtendedErrorLog("advance a day from " + Text(dtOld) + " to " + Text(pass.dtBoundary));
  }
  WriteExtendedErrorLog("Next Shift Start = " + Text(pass.dtBoundary));
}

int32_t MachineRecords::CloseRecordAtBoundary(const MachineKeys& machine, ShiftPass& pass) {
  const int32_t lMachineID = machine.lMachineID;
  const DateTime dtBoundary = pass.dtBoundary;
  DateTime dtChartDate, dtShiftStart, dtShiftStop;
  int32_t lNewShiftID = -1;
  bool bIsSwing = false;
  DetermineChartDateAndShiftInfo(dtBoundary, lMachineID, pass.strUserName, false, dtChartDate,
                                 lNewShiftID, bIsSwing, dtShiftStart, dtShiftStop);
  WriteExtendedErrorLog("ChartDate = " + Text(dtChartDate));
  WriteExtendedErrorLog(Text(dtShiftStop) + " - " + Text(dtShiftStart) + " " +
                        (bIsSwing ? "True" : "False"));
  WriteExtendedErrorLog("Shift id=" + std::to_string(lNewShiftID) +
                        ", bIsSwing = " + (bIsSwing ? "True" : "False"));
  WriteExtendedErrorLog("HandleExpiredShifts-Ca");

  int32_t lCurrentID = pass.lRecordID;
  int32_t lNextID = -1;
  if (lCurrentID == -1) {
    WriteExtendedErrorLog("Can this happen?");
  } else if (pass.dtRecordStart != dtBoundary) {
    state_.ForgetRecord(lCurrentID);
    ExecuteStatement("update T_SFC_MACHINE_DATA  set STOP_TIME = " +
                     voltrane::DateTimeLiteral(DatabaseType(), dtBoundary) +
                     " where MACHINE_DATA_ID = " + std::to_string(lCurrentID));
    WriteExtendedErrorLog("Shift Ended for MachineID = " + std::to_string(lMachineID) +
                          ",  MACHINE_DATA_ID=" + std::to_string(lCurrentID));
  } else {
    WriteExtendedErrorLog("skipping the close of a zero length record, id " +
                          std::to_string(lCurrentID) + " @ " + Text(pass.dtRecordStart) +
                          " Reusing instead");
    lNextID = lCurrentID;
    lCurrentID = -1;
  }
  DateTime dtNextBoundary;
  lNextID = RollToNextRecord(
      machine, lCurrentID, MachineDataSplitKind::Shift, dtBoundary,
      [&](dbaccess::Recordset& rs) {
        dtNextBoundary = WriteShiftOfNextRecord(rs, pass, lNewShiftID, bIsSwing, dtBoundary,
                                                dtShiftStop, dtChartDate);
      },
      lNextID);

  pass.lRecordID = lNextID;
  pass.lShiftID = lNewShiftID;
  pass.dtLatest = dtBoundary;
  pass.lLatestMoment = MomentAfter(dtBoundary, pass.lLatestMoment);
  pass.dtBoundary = dtNextBoundary;
  return lNextID;
}

DateTime MachineRecords::WriteShiftOfNextRecord(dbaccess::Recordset& rs, ShiftPass& pass,
                                                int32_t lNewShiftID, bool bIsSwing,
                                                const DateTime& dtBoundary,
                                                const DateTime& dtShiftStop,
                                                const DateTime& dtChartDate) {
  const Variant vShift = lNewShiftID == -1 ? Variant::Null() : Variant(lNewShiftID);
  const Variant vShiftEnd = lNewShiftID == -1 ? Variant::Null() : Variant(dtShiftStop);
  DateTime dtNextBoundary;
  if (pass.dtPendingRealEnd) {
    rs.Fields("SHIFT_ID") = vShift;
    rs.Fields("SHIFT_END") = vShiftEnd;
    dtNextBoundary = *pass.dtPendingRealEnd;
    pass.dtPendingRealEnd.reset();
  } else if (lNewShiftID == -1) {
    rs.Fields("SHIFT_ID") = Variant::Null();
    rs.Fields("SHIFT_END") = Variant::Null();
    dtNextBoundary = NoShiftSentinel();
  } else {
    if (bIsSwing && DatePartOnly(dtShiftStop) != DatePartOnly(dtBoundary) &&
        !IsMidnight(dtShiftStop)) {
      dtNextBoundary = DatePartOnly(dtShiftStop);
      pass.dtPendingRealEnd = dtShiftStop;
    } else {
      dtNextBoundary = dtShiftStop;
    }
    rs.Fields("SHIFT_ID") = lNewShiftID;
    rs.Fields("SHIFT_END") = dtShiftStop;
  }
  rs.Fields("CHART_DATE") = dtChartDate;
  pass.dtRecordStart = rs.Fields("START_TIME").Value().ToDateTime();
  const Variant vUser = rs.Fields("USER_NAME").Value();
  pass.strUserName = IsNothing(vUser) ? "" : vUser.ToText();
  if (ExtendedErrorLogEnabled()) {
    std::string strLine = "[" + rs.Fields("MACHINE_ID").Value().ToText() + "] [" +
                          std::to_string(rs.Fields("MACHINE_DATA_ID").Value().ToLong()) + "] [" +
                          Text(pass.dtRecordStart) + "]";
    if (lNewShiftID != -1) {
      strLine += " [" + std::to_string(lNewShiftID) + "] [" + Text(dtShiftStop) + "]";
    }
    WriteExtendedErrorLog(strLine);
  }
  return dtNextBoundary;
}

}  // namespace korvex7::internal
