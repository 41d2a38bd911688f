// LogBacklogProbe: what is waiting in the MDC log, read for the collector's
// metrics and readiness on a connection of its own (never the worker's): how
// many rows, how old the oldest is by the database's clock, and whether the
// database answered at all.
//
// One statement per read, and a read at most once a second however often
// /metrics and /readyz are asked: later calls in that second get the cached
// answer. A failed read drops the connection, so the next one opens it afresh
// (a database that comes back is seen again). The connection string is taken
// from the configuration reader at each opening.
// Thread rule: any thread; reads are serialised.
#ifndef VOLTRANE_SERVICE_LOG_BACKLOG_PROBE_H_
#define VOLTRANE_SERVICE_LOG_BACKLOG_PROBE_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "dbaccess/connection.h"
#include "service/service_config.h"

namespace voltrane {

using SteadyTime = std::chrono::steady_clock::time_point;
using SteadyClock = std::function<SteadyTime()>;

struct LogBacklog {
  bool answered = false;
  std::string error;           // why the database did not answer
  int64_t waiting = 0;         // rows in T_SFC_MDC_LOG
  double oldest_seconds = 0;   // age of the oldest by the database's clock; 0 when none
};

class LogBacklogProbe {
 public:
  explicit LogBacklogProbe(ConfigurationReader reader,
                           SteadyClock now = std::chrono::steady_clock::now);

  LogBacklog Read();

 private:
  LogBacklog Query();

  ConfigurationReader reader_;
  SteadyClock now_;
  std::mutex mutex_;
  std::shared_ptr<dbaccess::Connection> connection_;  // open, or null; guarded by mutex_
  int32_t kind_ = -1;
  std::optional<SteadyTime> read_at_;  // when `cached_` was read
  LogBacklog cached_;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_LOG_BACKLOG_PROBE_H_
