// Downtime timeouts: a downtime code may carry a maximum duration in minutes
// (CYCLE_STATUS_LOCK divided by 4; the two low bits are the lock kind). An
// open machine or user downtime event of such a code that has lasted longer
// is ended at the time of the check, through the downtime end handlers.
//
// Whether any code has a maximum is read once per library object; without
// one the check never runs for that object. The check runs at most once a
// minute of the times it is given (the processed row's time, or the database
// time of the last batch load). Until the log has been found empty it ends
// only the downtimes of the machine being processed, afterwards those of
// every machine. Database errors escape to the processing loop; a failing
// handler stops the check with its text. Processing thread only.
//
// Where the time of the last check lives: in the database
// (T_SFC_MDC_CHECK_TIME, check_times.h), written in the same transaction as
// the downtime ends of the check, inside the row that ran it. The schedule
// decides which row's time a downtime ends at, so a run that starts again
// after a crash or a stop must continue it from what was committed with the
// rows already processed, or it would end downtimes at other times than one
// uninterrupted run. The copy held here is read again whenever the session
// rolled anything back, because the time it holds may have gone with it.
// Without a stored time (a database never checked) the first check runs at
// once. A member of a collector group keeps one schedule per partition it
// holds instead, stored with the partition (check_scope.h): a row's check
// then ends the downtimes of its machine, or of its partition's machines once
// the member found that partition drained, and the idle log's check those of
// every drained partition whose check is due.
#include <cmath>
#include <optional>
#include <set>
#include <string>

#include "dbaccess/dialect.h"
#include "dbaccess/elapsed_time.h"
#include "library/dispatch/command_types.h"
#include "library/handlers/handlers.h"
#include "library/intake/intake.h"
#include "library/monitor/check_times.h"
#include "library/monitor/monitor.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

// A database without a stored check time has its first check run at once.
constexpr int64_t kFirstCheckBackdateMinutes = 1000;
constexpr int64_t kMinutesBetweenChecks = 1;

}  // namespace

void Monitor::CountDowntimeTimeouts() {
  const dbaccess::Variant vCount = GetScalarValue(
      std::string("select count(*) as CNT from (") +
      "select floor(dtc.CYCLE_STATUS_LOCK /4) as DT_Timeout from T_SFC_DOWNTIME_CODE dtc " +
      "where floor(dtc.CYCLE_STATUS_LOCK / 4) > 0" + ") dtc");
  int64_t lCount = 0;
  try {
    if (!vCount.IsNull() && !vCount.IsEmpty()) lCount = vCount.ToInt64();
  } catch (const dbaccess::DbError&) {
    lCount = 0;  // a failed read counts as none
  }
  m_bHasDowntimeTimeouts = lCount > 0;
  if (m_bHasDowntimeTimeouts) WriteExtendedErrorLog("there are downtime timeouts to check");
  m_bFirstDowntimeTimeoutCheck = false;
  m_lCheckTimeRollbacks = -1;
}

void Monitor::LoadLastDowntimeTimeoutCheck(const dbaccess::DateTime& dtTime) {
  const std::optional<dbaccess::DateTime> stored = ReadCheckTime(checkcode::kDowntimeTimeouts);
  m_dtLastDowntimeTimeoutCheck =
      stored ? *stored : dtTime.AddMinutes(-kFirstCheckBackdateMinutes);
  m_lCheckTimeRollbacks = RollbackCount();
}

std::set<int32_t> Monitor::DuePartitions(int32_t lMachineID, const dbaccess::DateTime& dtTime) {
  if (m_lCheckTimeRollbacks != RollbackCount()) {
    m_partitionChecks.clear();
    m_lCheckTimeRollbacks = RollbackCount();
  }
  const std::optional<int32_t> rowPartition =
      lMachineID >= 0 ? m_scope->HeldPartition(lMachineID) : std::nullopt;
  std::set<int32_t> due;
  for (const auto& [lPartition, lFence] : m_scope->HeldPartitions()) {
    if (lMachineID >= 0 ? rowPartition != lPartition : !m_scope->PartitionDrained(lPartition)) {
      continue;
    }
    if (dbaccess::MoreThanElapsed(PartitionCheckTime(lPartition, lFence, dtTime), dtTime,
                                  kMinutesBetweenChecks * 60000)) {
      due.insert(lPartition);
    }
  }
  return due;
}

dbaccess::DateTime Monitor::PartitionCheckTime(int32_t lPartition, int64_t lFence,
                                               const dbaccess::DateTime& dtTime) {
  const auto cached = m_partitionChecks.find(lPartition);
  if (cached != m_partitionChecks.end() && cached->second.lFence == lFence) {
    return cached->second.dtTime;
  }
  const std::optional<dbaccess::DateTime> stored = m_scope->ReadDowntimeCheck(lPartition);
  const dbaccess::DateTime dtLast =
      stored ? *stored : dtTime.AddMinutes(-kFirstCheckBackdateMinutes);
  m_partitionChecks[lPartition] = {lFence, dtLast};
  return dtLast;
}

bool Monitor::DoAutoEndDowntimes(int32_t lMachineID, const dbaccess::DateTime& dtTime,
                                 std::string& strError) {
  if (m_bFirstDowntimeTimeoutCheck) CountDowntimeTimeouts();
  if (!m_bHasDowntimeTimeouts) return true;
  if (m_scope) {
    const std::set<int32_t> due = DuePartitions(lMachineID, dtTime);
    if (due.empty()) return true;
    if (!EndOverdueDowntimes(lMachineID, dtTime, due, strError)) return false;
    for (const int32_t lPartition : due) {
      m_scope->WriteDowntimeCheck(lPartition, dtTime);
      m_partitionChecks[lPartition].dtTime = dtTime;
    }
    m_lCheckTimeRollbacks = RollbackCount();
    return true;
  }
  if (m_lCheckTimeRollbacks != RollbackCount()) LoadLastDowntimeTimeoutCheck(dtTime);
  if (!dbaccess::MoreThanElapsed(m_dtLastDowntimeTimeoutCheck, dtTime,
                                 kMinutesBetweenChecks * 60000)) {
    return true;
  }
  if (!EndOverdueDowntimes(lMachineID, dtTime, {}, strError)) return false;
  WriteCheckTime(checkcode::kDowntimeTimeouts, dtTime);
  m_dtLastDowntimeTimeoutCheck = dtTime;
  m_lCheckTimeRollbacks = RollbackCount();
  return true;
}

bool Monitor::EndsDowntimeOf(int32_t lEventMachineID, int32_t lMachineID,
                             const std::set<int32_t>& duePartitions) const {
  if (!m_scope) return lEventMachineID == lMachineID || m_bLogDrained;
  const std::optional<int32_t> partition = m_scope->HeldPartition(lEventMachineID);
  return partition && duePartitions.count(*partition) > 0 &&
         (lEventMachineID == lMachineID || m_scope->PartitionDrained(*partition));
}

bool Monitor::EndOverdueDowntimes(int32_t lMachineID, const dbaccess::DateTime& dtTime,
                                  const std::set<int32_t>& duePartitions,
                                  std::string& strError) {
  const std::string hint = voltrane::NoLockHint(DatabaseType());
  const int32_t lMachineDowntimeID = intake_.GetCommandIDForType(commandtype::kMachineDowntime);
  const int32_t lUserDowntimeID = intake_.GetCommandIDForType(commandtype::kUserDowntime);
  dbaccess::RecordsetPtr rs =
      OpenQuery("select START_TIME, DT_MAX, ev.MACHINE_ID, ev.COMMAND_ID from T_SFC_EVENT ev " +
                hint + "," + " T_SFC_MACHINE_EVENT me " + hint + ", " +
                "(select DOWNTIME_CODE_NUMBER, floor(CYCLE_STATUS_LOCK /4) as DT_Max from "
                "T_SFC_DOWNTIME_CODE " +
                hint + ") dtc " + "where me.EVENT_ID = ev.EVENT_ID " + "and ev.COMMAND_ID in (" +
                std::to_string(lMachineDowntimeID) + "," + std::to_string(lUserDowntimeID) + ") " +
                "and dtc.DOWNTIME_CODE_NUMBER = ev.PARAM1 " + "and DT_MAX > 0");
  try {
    for (; !rs->Eof(); rs->MoveNext()) {
      const dbaccess::Variant& vStart = rs->Fields("START_TIME").Value();
      if (vStart.IsNull() || vStart.IsEmpty()) continue;
      const double dMaxMinutes = rs->Fields("DT_MAX").Value().ToDouble();
      if (!dbaccess::MoreThanElapsed(vStart.ToDateTime(), dtTime,
                                     std::llround(dMaxMinutes * 60000.0))) {
        continue;
      }
      const int32_t lEventMachineID = rs->Fields("MACHINE_ID").Value().ToLong();
      if (!EndsDowntimeOf(lEventMachineID, lMachineID, duePartitions)) continue;
      const int32_t lCommandID = rs->Fields("COMMAND_ID").Value().ToLong();
      if (!EndOverdueDowntime(lEventMachineID, lCommandID == lMachineDowntimeID, dtTime,
                              strError)) {
        CloseRecordset(rs);
        return false;
      }
    }
    CloseRecordset(rs);
  } catch (...) {
    CloseRecordset(rs);
    throw;
  }
  return true;
}

bool Monitor::EndOverdueDowntime(int32_t lMachineID, bool bMachineDowntime,
                                 const dbaccess::DateTime& dtTime, std::string& strError) {
  const CommandContext command = MonitorCommand(lMachineID, dtTime);
  // An end the cycle status lock drops is no failure: it has no error text.
  if (bMachineDowntime) {
    handlers_.activity.DoMachineDowntimeEnd(command, strError);
  } else {
    handlers_.activity.DoUserDowntimeEnd(command, strError);
  }
  return strError.empty();
}

}  // namespace korvex7::internal
