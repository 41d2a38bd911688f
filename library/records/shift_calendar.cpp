// The shift calendar: which shift is in force at a moment for a machine (with
// the chart date its data is booked under), and where the next shift boundary
// after a moment lies. Shifts are weekly; each weekday names an interval of
// the day or none. A machine paired with shifts in T_SFC_MACHINE_SHIFT works
// only those; a machine without pairs works every shift. A machine left with
// no shift at all gets a boundary at every midnight (shift key -1), so its
// commands are still recorded. Database errors reach the caller. Processing
// thread only.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/dialect.h"
#include "library/records/machine_records.h"
#include "library/records/shift_dates.h"
#include "library/reference/reference_data.h"
#include "library/session/extended_error_log.h"
#include "library/session/sql_date_time.h"

namespace korvex7::internal {

namespace {

using dbaccess::DateTime;
using dbaccess::Variant;

// Interval columns of T_SFC_SHIFT by weekday, 1 Sunday ... 7 Saturday.
const std::array<const char*, 8> kIntervalColumns = {"",
                                                     "SUN_INTERVAL_ID",
                                                     "MON_INTERVAL_ID",
                                                     "TUE_INTERVAL_ID",
                                                     "WED_INTERVAL_ID",
                                                     "THU_INTERVAL_ID",
                                                     "FRI_INTERVAL_ID",
                                                     "SAT_INTERVAL_ID"};

// Column prefixes of the weekly query, Monday first.
const std::array<const char*, 7> kWeekdayPrefixes = {"MON", "TUE", "WED", "THU",
                                                     "FRI", "SAT", "SUN"};

bool IsNothing(const Variant& value) { return value.IsNull() || value.IsEmpty(); }

// 0 for Monday ... 6 for Sunday.
int MondayFirstIndex(const DateTime& dtValue) { return (dtValue.DayOfWeek() + 5) % 7; }

// One shift of the weekly query: each weekday's interval start (none when the
// shift has no interval that day) and swing flag.
struct WeeklyShift {
  std::array<std::optional<DateTime>, 7> starts;
  std::array<bool, 7> swing{};
  int32_t lShiftID = -1;
};

struct Candidate {
  DateTime dtTime;
  int32_t lShiftID = -1;
  bool bIsSwing = false;
  bool bIsShiftStart = false;
};

Candidate CandidateOfDay(const WeeklyShift& shift, int iWeekday, int32_t k) {
  const std::optional<DateTime>& start = shift.starts[iWeekday];
  if (!start) return {ShiftBaseDay().AddDays(k), -1, false, false};
  return {start->AddDays(k), shift.lShiftID, shift.swing[iWeekday], true};
}

}  // namespace

std::string MachineRecords::FilterShiftsForMachine(const std::string& strQuery,
                                                   int32_t lMachineID) {
  const std::string strHint = voltrane::NoLockHint(DatabaseType());
  const std::string strMachine = std::to_string(lMachineID);
  const std::string strValid = voltrane::IIF(
      DatabaseType(),
      "(select count(*) from T_SFC_MACHINE_SHIFT ms " + strHint +
          " where ms.MACHINE_ID=" + strMachine + ") > 0",
      "(select count(*) from T_SFC_MACHINE_SHIFT ms where ms.MACHINE_ID=" + strMachine +
          " and ms.SHIFT_ID=s.SHIFT_ID)",
      "1");
  return "select s.* from (" + strQuery + ") s left join (select " + strValid +
         " as valid_shift, SHIFT_ID from T_SFC_SHIFT s" + strHint +
         " ) v on v.SHIFT_ID = s.SHIFT_ID" + " where valid_shift >=1";
}

void MachineRecords::DetermineChartDateAndShiftInfo(const DateTime& dtTime, int32_t lMachineID,
                                                    const std::string& strUserName, bool bInclusive,
                                                    DateTime& dtChartDate, int32_t& lShiftID,
                                                    bool& bIsSwing, DateTime& dtShiftStart,
                                                    DateTime& dtShiftStop) {
  const int32_t k = DatabaseType();
  const std::string strHint = voltrane::NoLockHint(k);
  const DateTime dtT1 = CombineDateAndTime(ShiftBaseDay().AddDays(1), dtTime);
  const DateTime dtT0 = CombineDateAndTime(ShiftBaseDay(), dtTime);
  const int iDay = dtTime.DayOfWeek();
  const int iPrevious = iDay == 1 ? 7 : iDay - 1;
  const std::string strFrom = " from T_SFC_SHIFT " + strHint + ", T_SFC_INTERVAL " + strHint;

  std::string strSQL =
      "select T_SFC_SHIFT.SHIFT_ID, " + voltrane::AddDaysExpr(k, "T_SFC_INTERVAL.START_TIME", -1) +
      " as START_TIME, " + " " + voltrane::AddDaysExpr(k, "T_SFC_INTERVAL.STOP_TIME", -1) +
      " as STOP_TIME, 1 as u, T_SFC_INTERVAL.IS_SWING" + strFrom + " where T_SFC_SHIFT." +
      kIntervalColumns[iPrevious] + " = T_SFC_INTERVAL.INTERVAL_ID " +
      " and T_SFC_INTERVAL.IS_SWING = 1 " + " and " + voltrane::DateTimeLiteral(k, dtT1) +
      (bInclusive ? " <= " : " < ") + "T_SFC_INTERVAL.STOP_TIME ";
  strSQL +=
      " UNION select T_SFC_SHIFT.SHIFT_ID, START_TIME,  STOP_TIME, 2 as u, "
      "T_SFC_INTERVAL.IS_SWING" +
      strFrom + " where T_SFC_SHIFT." + kIntervalColumns[iDay] + " = T_SFC_INTERVAL.INTERVAL_ID " +
      " and T_SFC_INTERVAL.IS_SWING = 1 " +
      " and T_SFC_INTERVAL.START_TIME <= " + voltrane::DateTimeLiteral(k, dtT0);
  strSQL +=
      " UNION select T_SFC_SHIFT.SHIFT_ID, T_SFC_INTERVAL.START_TIME,  "
      "T_SFC_INTERVAL.STOP_TIME, 3 as u, T_SFC_INTERVAL.IS_SWING " +
      strFrom + " where T_SFC_SHIFT." + kIntervalColumns[iDay] + " = T_SFC_INTERVAL.INTERVAL_ID " +
      " and T_SFC_INTERVAL.IS_SWING = 0 " +
      " and T_SFC_INTERVAL.START_TIME <= " + voltrane::DateTimeLiteral(k, dtT0) +
      " and T_SFC_INTERVAL.STOP_TIME > " + voltrane::DateTimeLiteral(k, dtT0);

  dbaccess::RecordsetPtr rs =
      OpenQuery(FilterShiftsForMachine(strSQL, lMachineID) + " order by START_TIME,STOP_TIME");
  if (rs->Eof()) {
    CloseRecordset(rs);
    lShiftID = -1;
    bIsSwing = false;
    dtChartDate = DatePartOnly(dtTime);
    dtShiftStart = ShiftBaseDay().AddMinutes(9 * 60);
    dtShiftStop = ShiftBaseDay().AddMinutes(17 * 60);
    return;
  }
  if (rs->RecordCount() > 1 && !strUserName.empty()) {
    // Among overlapping shifts the operator's own shift wins.
    const int32_t lUserID = reference_.GetUserIDByName(strUserName);
    if (lUserID != -1) {
      const Variant vUserShift = GetScalarValue("select SHIFT_ID from T_SFC_USER " + strHint +
                                                " where USER_ID = " + std::to_string(lUserID));
      if (!IsNothing(vUserShift)) {
        rs->MoveFirst();
        if (!rs->Find("SHIFT_ID = " + std::to_string(vUserShift.ToLong()))) rs->MoveFirst();
      }
    }
  }
  lShiftID = rs->Fields("SHIFT_ID").Value().ToLong();
  bIsSwing = rs->Fields("IS_SWING").Value().ToLong() == 1;
  dtChartDate = DatePartOnly(dtTime);
  const DateTime dtStart = rs->Fields("START_TIME").Value().ToDateTime();
  const DateTime dtStop = rs->Fields("STOP_TIME").Value().ToDateTime();
  CloseRecordset(rs);
  dtShiftStart = CombineDateAndTime(dtTime.AddDays(DaysFromShiftBaseDay(dtStart)), dtStart);
  dtShiftStop = CombineDateAndTime(dtTime.AddDays(DaysFromShiftBaseDay(dtStop)), dtStop);
  // The morning part of a swing shift is booked under the evening it began.
  if (bIsSwing && lShiftID != -1 && DatePartOnly(dtShiftStart) < dtChartDate) {
    dtChartDate = DatePartOnly(dtShiftStart);
  }
}

DateTime MachineRecords::GetNextShiftStart(const DateTime& dtTime, int32_t lMachineID,
                                           int32_t& lShiftID, bool& bIsSwing) {
  WriteExtendedErrorLog("previous shift = " + std::to_string(lShiftID));
  const std::string strHint = voltrane::NoLockHint(DatabaseType());
  std::string strQuery = "select * from T_SFC_SHIFT s " + strHint;
  for (const char* strDay : kWeekdayPrefixes) {
    const std::string d = strDay;
    strQuery = "select  i.START_TIME as " + d + "_START_TIME, i.IS_SWING as " + d +
               "_IS_SWING, s.* from ( " + strQuery + " ) s LEFT JOIN T_SFC_INTERVAL i " + strHint +
               " on s." + d + "_INTERVAL_ID = i.INTERVAL_ID";
  }
  std::string strColumns;
  for (const char* strDay : kWeekdayPrefixes) {
    strColumns += std::string(" ") + strDay + "_START_TIME, " + strDay + "_IS_SWING,";
  }
  strQuery = "select " + strColumns + " SHIFT_ID  from (" + strQuery + ") s ";

  std::vector<WeeklyShift> shifts;
  dbaccess::RecordsetPtr rs = OpenQuery(FilterShiftsForMachine(strQuery, lMachineID));
  for (; !rs->Eof(); rs->MoveNext()) {
    WeeklyShift shift;
    for (size_t i = 0; i < 7; ++i) {
      const Variant vStart = rs->Fields(2 * i).Value();
      if (!IsNothing(vStart)) shift.starts[i] = vStart.ToDateTime();
      const Variant vSwing = rs->Fields(2 * i + 1).Value();
      shift.swing[i] = !IsNothing(vSwing) && vSwing.ToLong() == 1;
    }
    shift.lShiftID = rs->Fields(size_t{14}).Value().ToLong();
    shifts.push_back(shift);
  }
  CloseRecordset(rs);
  // No shift at all is a week without intervals: a boundary every midnight.
  if (shifts.empty()) shifts.emplace_back();

  const DateTime dtT0 = CombineDateAndTime(ShiftBaseDay(), dtTime);
  Candidate best{dtT0, lShiftID, bIsSwing, false};
  bool bFound = false;
  bool bIsStart = false;
  int32_t k = 0;
  for (;; ++k) {
    const int iWeekday = MondayFirstIndex(dtTime.AddDays(k));
    for (const WeeklyShift& shift : shifts) {
      const Candidate c = CandidateOfDay(shift, iWeekday, k);
      bool bCounts;
      if (!bFound) {
        bCounts = c.dtTime >= dtT0;
      } else if (c.bIsShiftStart) {
        bCounts = c.dtTime >= dtT0 && c.dtTime < best.dtTime;
      } else {
        bCounts = c.dtTime > dtT0 && c.dtTime < best.dtTime;
      }
      if (!bCounts) continue;
      best = c;
      bIsStart = c.dtTime == dtT0;
      if (bIsStart) WriteExtendedErrorLog("beginning of shift found");
      if (c.bIsShiftStart || c.dtTime > dtT0) bFound = true;
    }
    if (bFound) break;
  }
  const DateTime dtMidnight = ShiftBaseDay().AddDays(k);
  if (dtMidnight > dtT0 && dtMidnight < best.dtTime) best = {dtMidnight, -1, false, false};
  lShiftID = best.lShiftID;
  bIsSwing = best.bIsSwing;
  if (bIsStart) WriteExtendedErrorLog("isStart = true");
  return CombineDateAndTime(dtTime.AddDays(k), best.dtTime);
}

}  // namespace korvex7::internal
