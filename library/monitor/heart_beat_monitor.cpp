// Heartbeat supervision, the sign-of-life side: every command of a supervised
// machine (an enabled row of T_SFC_MACHINE_HEARTBEAT) renews its last sign of
// life. A machine that speaks again after being silent for longer than its
// timeout, and that the idle-time check has meanwhile put into the
// late-heartbeat downtime (option 13), leaves that downtime: it goes back to
// the activity the downtime interrupted when it comes back within option 19
// seconds, otherwise the downtime simply ends.
//
// The heartbeat table is read once per library object; the times are those of
// the commands, never the clock. State changes go through the downtime
// handlers and PostHeartbeatCommand, exactly as if a command had arrived:
// a synthetic command runs through the handler table, never back through
// the log processor that called the monitor.
// Processing thread only.
#include <functional>
#include <string>
#include <vector>

#include "dbaccess/dialect.h"
#include "dbaccess/elapsed_time.h"
#include "dbaccess/sql_builder.h"
#include "library/dispatch/command_types.h"
#include "library/handlers/handlers.h"
#include "library/intake/intake.h"
#include "library/monitor/monitor.h"
#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kOptionLateHeartBeatDowntimeCode = 13;
constexpr int32_t kOptionReturnToPreviousStateSeconds = 19;

constexpr int32_t kTimeCodeStart = 0;

std::string HeartBeatKey(int32_t lMachineID) { return "M" + std::to_string(lMachineID); }

// Late means the timeout was exceeded, not merely reached.
bool IsLate(const HeartBeatInfoClass& info, const dbaccess::DateTime& dtTime) {
  return dbaccess::MoreThanElapsed(info.LastHeartBeat, dtTime, info.Timeout * 1000LL);
}

// One of the machine's two latest activity or machine downtime events.
struct EventRow {
  int32_t lCommandID = -1;
  int32_t lDeptID = -1;
  int32_t lLocationID = -1;
  int32_t lGroupID = -1;
  dbaccess::Variant vStartTime;
  dbaccess::Variant vStopTime;
  std::string strParam;
};

EventRow ReadEventRow(dbaccess::Recordset& rs) {
  EventRow row;
  row.lCommandID = rs.Fields("COMMAND_ID").Value().ToLong();
  row.lDeptID = rs.Fields("DEPT_ID").Value().ToLong();
  row.lLocationID = rs.Fields("LOCATION_ID").Value().ToLong();
  row.lGroupID = rs.Fields("GROUP_ID").Value().ToLong();
  row.vStartTime = rs.Fields("START_TIME").Value();
  row.vStopTime = rs.Fields("STOP_TIME").Value();
  const dbaccess::Variant& vParam = rs.Fields("PARAM1").Value();
  row.strParam = vParam.IsNull() || vParam.IsEmpty() ? "" : vParam.ToText();
  return row;
}

bool HasTime(const dbaccess::Variant& v) { return !v.IsNull() && !v.IsEmpty(); }

}  // namespace

void Monitor::LoadHeartBeatTable(const dbaccess::DateTime& dtTime) {
  if (m_dictHeartBeats) return;
  // Created before the read: a table that cannot be read leaves no machine
  // supervised for the monitor's life instead of failing at every command.
  m_dictHeartBeats.emplace();
  dbaccess::RecordsetPtr rs;
  try {
    rs =
        OpenQuery("select MACHINE_ID,ENABLED,TIMEOUT,LAST_HEARTBEAT from T_SFC_MACHINE_HEARTBEAT " +
                  voltrane::NoLockHint(DatabaseType()) + " where ENABLED=1");
    for (; !rs->Eof(); rs->MoveNext()) {
      const dbaccess::Variant& vTimeout = rs->Fields("TIMEOUT").Value();
      // Without a timeout there is nothing to supervise; taking it as 0 would
      // put the machine into downtime at every idle pass.
      if (!HasTime(vTimeout)) continue;
      HeartBeatInfoClass info;
      info.Timeout = vTimeout.ToLong();
      // LAST_HEARTBEAT is not used: every machine starts with a full timeout.
      info.LastHeartBeat = dtTime;
      (*m_dictHeartBeats)[HeartBeatKey(rs->Fields("MACHINE_ID").Value().ToLong())] = info;
    }
    CloseRecordset(rs);
  } catch (...) {
    CloseRecordset(rs);
    throw;
  }
  m_bCheckHeartbeats = !m_dictHeartBeats->empty();
}

std::string Monitor::GetCommandIDList(const std::vector<int32_t>& alCommandTypeCodes) {
  std::string strList;
  for (const int32_t lTypeCode : alCommandTypeCodes) {
    if (!strList.empty()) strList += ",";
    strList += std::to_string(intake_.GetCommandIDForType(lTypeCode));
  }
  return strList;
}

bool Monitor::RecordHeartBeat(const LogEntry& row, std::string& strError) {
  const int32_t lMachineID = row.machine.lMachineID;
  const dbaccess::DateTime& dtTime = row.dtTime;
  strError.clear();
  try {
    if (m_lLateHeartBeatDowntimeCodeID == -1) {
      if (m_bCheckHeartbeats) {
        GetNumOption(kOptionLateHeartBeatDowntimeCode, m_lLateHeartBeatDowntimeCodeID);
        LoadHeartBeatTable(dtTime);
      }
      // Without the downtime to record, signs of life are not counted.
      if (m_lLateHeartBeatDowntimeCodeID == -1) return true;
    }
    if (!m_bCheckHeartbeats || !m_dictHeartBeats) return true;
    const auto entry = m_dictHeartBeats->find(HeartBeatKey(lMachineID));
    if (entry == m_dictHeartBeats->end()) return true;
    if (IsLate(entry->second, dtTime)) {
      int32_t lCodeID = -1;
      dbaccess::DateTime dtStatusDate;
      if (FindLateHeartBeatDowntime(lMachineID, lCodeID, dtStatusDate) > 0 &&
          lCodeID == m_lLateHeartBeatDowntimeCodeID &&
          !LeaveLateHeartBeatDowntime(row, dtStatusDate, strError)) {
        return false;
      }
    }
    entry->second.LastHeartBeat = dtTime;
    return true;
  } catch (...) {
    const ErrorInfo error = CurrentError();
    strError = "Error processing heartbeat for Machine_id=" + std::to_string(lMachineID) + " - " +
               FormatErrorText(error.number, error.description);
    return false;
  }
}

int32_t Monitor::FindLateHeartBeatDowntime(int32_t lMachineID, int32_t& lCodeID,
                                           dbaccess::DateTime& dtStatusDate) {
  voltrane::SQLBuilder builder;
  builder.SetDatabaseType(DatabaseType());
  builder.SetCommandText(handlers_.activity.CurrentDowntimeQueryText());
  builder.SetParameter("@MachineID", voltrane::adtype::kInteger, dbaccess::Variant(lMachineID));
  builder.SetParameter("@DowntimeCodeID", voltrane::adtype::kInteger,
                       dbaccess::Variant(m_lLateHeartBeatDowntimeCodeID));
  dbaccess::RecordsetPtr rs = builder.OpenRecordset(DatabaseType(), connection(), false);
  const auto lRows = static_cast<int32_t>(rs->RecordCount());
  if (!rs->Eof()) {
    lCodeID = rs->Fields("DOWNTIME_CODE_ID").Value().ToLong();
    const dbaccess::Variant& vStatusDate = rs->Fields("STATUS_DATE").Value();
    if (HasTime(vStatusDate)) dtStatusDate = vStatusDate.ToDateTime();
  }
  CloseRecordset(rs);
  return lRows;
}

bool Monitor::LeaveLateHeartBeatDowntime(const LogEntry& row,
                                         const dbaccess::DateTime& dtStatusDate,
                                         std::string& strError) {
  const int32_t lMachineID = row.machine.lMachineID;
  const dbaccess::DateTime& dtTime = row.dtTime;
  int32_t lReturnSeconds = 0;
  GetNumOption(kOptionReturnToPreviousStateSeconds, lReturnSeconds);
  if (lReturnSeconds != 0 &&
      !dbaccess::MoreThanElapsed(dtStatusDate, dtTime, lReturnSeconds * 1000LL)) {
    if (PostPreviousActivity(row, strError)) return strError.empty();
  }
  handlers_.activity.DoMachineDowntimeEnd(MonitorCommand(lMachineID, dtTime), strError);
  return strError.empty();
}

CommandContext Monitor::MonitorCommand(int32_t lMachineID, const dbaccess::DateTime& dtTime) {
  CommandContext command;
  command.machine.lMachineID = lMachineID;
  command.machine.lDeptID = command.machine.lLocationID = command.machine.lGroupID = -1;
  intake_.GetMachineHierarchy(lMachineID, command.machine.lDeptID, command.machine.lLocationID,
                              command.machine.lGroupID);
  command.time = dtTime;
  return command;
}

bool Monitor::PostPreviousActivity(const LogEntry& row, std::string& strError) {
  const int32_t lMachineID = row.machine.lMachineID;
  const int32_t lDowntimeCommandID = intake_.GetCommandIDForType(commandtype::kMachineDowntime);
  const std::string strList = GetCommandIDList({commandtype::kSetup, commandtype::kCycle,
                                                commandtype::kTeardown, commandtype::kIdle}) +
                              "," + std::to_string(lDowntimeCommandID);
  dbaccess::RecordsetPtr rs = OpenQuery(
      voltrane::GetTop(DatabaseType(), 2,
                       "select * from T_SFC_EVENT " + voltrane::NoLockHint(DatabaseType()) +
                           " where MACHINE_ID = " + std::to_string(lMachineID) +
                           " and COMMAND_ID in (" + strList + ") order by EVENT_ID desc"));
  std::vector<EventRow> rows;
  for (; !rs->Eof() && rows.size() < 3; rs->MoveNext()) rows.push_back(ReadEventRow(*rs));
  CloseRecordset(rs);
  if (rows.size() != 2 || rows[0].lCommandID != lDowntimeCommandID) return false;
  // The downtime must still be open, and the activity before it must have
  // been ended by it: only then is there something to go back to.
  if (HasTime(rows[0].vStopTime) || !HasTime(rows[0].vStartTime)) return false;
  if (!HasTime(rows[1].vStopTime) ||
      rows[1].vStopTime.ToDateTime() != rows[0].vStartTime.ToDateTime()) {
    return false;
  }
  // The activity's start again, for the row's machine; it keeps the row's
  // group and time stamp.
  const EventRow& previous = rows[1];
  LogEntry command = row;
  command.lMDCLogID = -1;
  command.lCommandID = previous.lCommandID;
  command.lCommandTimeCode = kTimeCodeStart;
  command.machine.lDeptID = previous.lDeptID;
  command.machine.lLocationID = previous.lLocationID;
  command.strParam = previous.strParam;
  PostHeartbeatCommand(command, strError);
  return true;
}

void Monitor::PostHeartbeatCommand(const LogEntry& command, std::string& strError) {
  WriteExtendedErrorLog("Special heartbeat ProcessCommand()");
  try {
    handlers_.RunCommand(command, strError);
  } catch (...) {
    // The synthetic command is the monitor's own; its failure is traced, not
    // passed on, and the row being processed goes on.
    WriteExtendedErrorLog("Special heartbeat ProcessCommand() failed");
  }
}

}  // namespace korvex7::internal
