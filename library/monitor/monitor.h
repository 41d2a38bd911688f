// Monitor: the heartbeat supervision and the downtime timeouts
// (heart_beat_monitor.cpp, late_heart_beat_check.cpp, downtime_timeouts.cpp,
// heart_beat_info.h). It records each row's sign of life, starts a
// late-heartbeat downtime for a machine that fell silent and ends it when
// the machine speaks again, and ends downtimes that ran past their code's
// limit.
//
// May touch: its heartbeat table cache; machine state only through the
// downtime handlers and synthetic commands, LogEntry values it runs through
// the handler table. Calls the handlers and intake; only the log processor
// calls it. Every time comes from the caller (a row's time or the database
// clock).
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_MONITOR_MONITOR_H_
#define VOLTRANE_LIBRARY_MONITOR_MONITOR_H_

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dbaccess/date_time.h"
#include "library/core/log_entry.h"
#include "library/handlers/command_context.h"
#include "library/monitor/heart_beat_info.h"
#include "library/monitor/log_monitor.h"
#include "library/session/session.h"

namespace korvex7::internal {

class Handlers;
class Intake;
class SchemaMaintenance;

class Monitor : public TransactionClient, public LogMonitor {
 public:
  Monitor(Session& session, Intake& intake, Handlers& handlers, SchemaMaintenance& schema)
      : TransactionClient(session), intake_(intake), handlers_(handlers), schema_(schema) {}

  // The steps the log processor calls (log_monitor.h).
  bool RecordHeartBeat(const LogEntry& row, std::string& strError) override;
  bool DoAutoEndDowntimes(int32_t lMachineID, const dbaccess::DateTime& dtTime,
                          std::string& strError) override;
  bool DoCheckForLateHeartBeats(const dbaccess::DateTime& dtDatabaseTime,
                                std::string& strError) override;
  // Builds the heartbeat table cache once per object; every supervised
  // machine starts with a full timeout from dtTime. A read error escapes and
  // leaves the cache empty.
  void LoadHeartBeatTable(const dbaccess::DateTime& dtTime);
  // The COMMAND_IDs of the type codes joined by ","; a type code without a
  // command escapes as an error.
  std::string GetCommandIDList(const std::vector<int32_t>& alCommandTypeCodes);
  void NoteLogDrained() override { m_bLogDrained = true; }
  bool LogDrained() const { return m_bLogDrained; }
  // Runs the handler of a synthetic command the monitor builds. A failure of
  // the handler is traced, its text handed over; the row being processed
  // goes on.
  void PostHeartbeatCommand(const LogEntry& command, std::string& strError);
  // The heartbeat table, the downtime-timeout count and the time of the last
  // downtime-timeout check are read again from the database.
  void SetCheckScope(CheckScope* scope) override {
    m_scope = scope;
    m_filteredMachines.reset();
    m_partitionChecks.clear();
  }
  void ForgetCaches() override {
    m_dictHeartBeats.reset();
    m_bFirstDowntimeTimeoutCheck = true;
  }

 private:
  using HeartBeatTable = std::map<std::string, HeartBeatInfoClass>;

  // Internals; database errors escape to the public steps above.
  // Rows of the machine's current downtime of the late-heartbeat code, with
  // the first row's code and the machine's STATUS_DATE.
  int32_t FindLateHeartBeatDowntime(int32_t lMachineID, int32_t& lCodeID,
                                    dbaccess::DateTime& dtStatusDate);
  // A late machine spoke again while in its late-heartbeat downtime.
  bool LeaveLateHeartBeatDowntime(const LogEntry& row, const dbaccess::DateTime& dtStatusDate,
                                  std::string& strError);
  // Posts the start of the activity the late-heartbeat downtime ended; false
  // when the machine's latest events do not show such an activity.
  bool PostPreviousActivity(const LogEntry& row, std::string& strError);
  // A command of the monitor's own for the machine at dtTime, its keys read
  // from the machine hierarchy (heart_beat_monitor.cpp).
  CommandContext MonitorCommand(int32_t lMachineID, const dbaccess::DateTime& dtTime);
  bool StartLateHeartBeatDowntime(const std::string& strMachineID, const dbaccess::DateTime& dtNow,
                                  std::string& strStep, std::string& strError);
  void CountDowntimeTimeouts();
  // The time of the last downtime-timeout check as committed, or as written
  // by the open batch; without one, a time that has the check run at once.
  void LoadLastDowntimeTimeoutCheck(const dbaccess::DateTime& dtTime);
  // Group mode: the held partitions whose check is due at dtTime (lMachineID
  // -1: the idle log's check, of every drained partition), and the time of a
  // partition's last check as stored for the fence it is held at.
  std::set<int32_t> DuePartitions(int32_t lMachineID, const dbaccess::DateTime& dtTime);
  dbaccess::DateTime PartitionCheckTime(int32_t lPartition, int64_t lFence,
                                        const dbaccess::DateTime& dtTime);
  // Whether the check ends the downtime of lEventMachineID (the row's
  // machine, or every machine once the log or its partition was drained).
  bool EndsDowntimeOf(int32_t lEventMachineID, int32_t lMachineID,
                      const std::set<int32_t>& duePartitions) const;
  bool EndOverdueDowntimes(int32_t lMachineID, const dbaccess::DateTime& dtTime,
                           const std::set<int32_t>& duePartitions, std::string& strError);
  // Whether the idle-time checks look at the machine (group mode: held).
  bool Supervises(int32_t lMachineID) const {
    return !m_scope || m_scope->HeldPartition(lMachineID).has_value();
  }
  // The stored check times (check_times.cpp): the time of a check code, none
  // when the table or its row is missing; writing creates the table on first
  // need. A refused write or creation is traced, never a failure.
  std::optional<dbaccess::DateTime> ReadCheckTime(int32_t lCheckCode);
  void WriteCheckTime(int32_t lCheckCode, const dbaccess::DateTime& dtTime);
  bool CheckTimeTableReady();
  // Runs the statements under a level of their own (a savepoint in the
  // batch, a transaction outside it), undone when they fail.
  bool RunOnOwnLevel(std::string& strError, const std::function<bool()>& statements);
  bool EndOverdueDowntime(int32_t lMachineID, bool bMachineDowntime,
                          const dbaccess::DateTime& dtTime, std::string& strError);

  // Runs `step` until it does not throw, from attempt lAttempt up to the 12th.

  Intake& intake_;
  Handlers& handlers_;
  SchemaMaintenance& schema_;

  bool m_bCheckHeartbeats = true;
  int32_t m_lLateHeartBeatDowntimeCodeID = -1;
  bool m_bFirstDowntimeTimeoutCheck = true;
  bool m_bHasDowntimeTimeouts = false;
  dbaccess::DateTime m_dtLastDowntimeTimeoutCheck;
  // The session's rollback count when m_dtLastDowntimeTimeoutCheck was last
  // read or written: once it moves, the copy may hold a time rolled back.
  int64_t m_lCheckTimeRollbacks = -1;
  bool m_bCheckTimeTableReady = false;
  bool m_bCheckTimeTableRefused = false;  // its creation failed: not tried again
  dbaccess::DateTime m_dtLastHeartBeatCheck;
  bool m_bLogDrained = false;
  std::optional<HeartBeatTable> m_dictHeartBeats;  // none until built
  // Group mode: the partitions held, and the machines the last
  // late-heartbeat check supervised, none before the first check (one
  // supervised later starts a full timeout: its signs of life went to
  // another member).
  CheckScope* m_scope = nullptr;
  std::optional<std::set<int32_t>> m_filteredMachines;
  // Group mode: each partition's last downtime check, read for the fence it
  // was held at; emptied when the session rolled anything back.
  struct PartitionCheck {
    int64_t lFence = 0;
    dbaccess::DateTime dtTime;
  };
  std::map<int32_t, PartitionCheck> m_partitionChecks;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_MONITOR_MONITOR_H_
