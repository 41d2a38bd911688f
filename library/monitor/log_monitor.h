// The monitor as the log processor sees it: the steps it runs for each row
// and for the idle log, and what it is told about the batch. A narrow
// interface so that a loop test can stand in for an outcome (a failing
// idle-time check) without the rest of the monitor. Processing thread only.
#ifndef VOLTRANE_LIBRARY_MONITOR_LOG_MONITOR_H_
#define VOLTRANE_LIBRARY_MONITOR_LOG_MONITOR_H_

#include <cstdint>
#include <string>

#include "dbaccess/date_time.h"
#include "library/core/log_entry.h"
#include "library/monitor/check_scope.h"

namespace korvex7::internal {

class LogMonitor {
 public:
  virtual ~LogMonitor() = default;
  // RecordHeartBeat reports every error itself as "Error processing
  // heartbeat for Machine_id=..."; DoCheckForLateHeartBeats gives the failing
  // step after the error text; DoAutoEndDowntimes (lMachineID -1: the idle
  // log's check) lets database errors escape.
  virtual bool RecordHeartBeat(const LogEntry& row, std::string& strError) = 0;
  virtual bool DoAutoEndDowntimes(int32_t lMachineID, const dbaccess::DateTime& dtTime,
                                  std::string& strError) = 0;
  virtual bool DoCheckForLateHeartBeats(const dbaccess::DateTime& dtDatabaseTime,
                                        std::string& strError) = 0;
  // The log has been read to its end once: from then on the downtime
  // timeouts of every machine are checked, not only the row's machine's.
  virtual void NoteLogDrained() = 0;
  // After a batch that was not committed: whatever the monitor cached from
  // the database is read again.
  virtual void ForgetCaches() = 0;
  // Group mode: the idle-time checks look only at the machines of the
  // partitions held, on a schedule per partition (check_scope.h); without a
  // scope, at every machine on one schedule. The scope outlives its use.
  virtual void SetCheckScope(CheckScope* scope) = 0;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_MONITOR_LOG_MONITOR_H_
