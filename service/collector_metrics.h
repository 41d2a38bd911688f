// CollectorMetrics: the collector's metrics and readiness. The worker feeds
// it what the library reports after each call (rows processed and failed by
// command, batch commits and their durations) and its connection state; a
// scrape adds the backlog from the probe (rows waiting, age of the oldest),
// read once per scrape at most, never on the worker's connection.
//
// Ready means: the database answers, and processing is not stalled. Stalled
// is a row that has waited longer than `stall_after` while nothing was
// committed for as long (counted from the start when nothing was committed
// yet): 503 with both ages in the reason.
// Thread rule: the worker thread records; any thread scrapes and asks readiness.
#ifndef VOLTRANE_SERVICE_COLLECTOR_METRICS_H_
#define VOLTRANE_SERVICE_COLLECTOR_METRICS_H_

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "library/korvex7.h"
#include "metrics/metric_registry.h"
#include "service/log_backlog_probe.h"

namespace voltrane {

// The readiness rule on its own: nullopt when ready, else the reason.
std::optional<std::string> CollectorNotReadyReason(const LogBacklog& backlog,
                                                   std::chrono::seconds since_commit,
                                                   std::chrono::seconds stall_after);

class CollectorMetrics {
 public:
  CollectorMetrics(LogBacklogProbe& probe, std::chrono::seconds stall_after,
                   SteadyClock now = std::chrono::steady_clock::now);

  void Record(const Korvex7ProcessingReport& report);
  void SetConnected(bool connected);
  void CountReconnect();

  std::optional<std::string> NotReadyReason();
  metrics::Registry& registry() { return registry_; }

 private:
  std::chrono::seconds SinceCommit();

  LogBacklogProbe& probe_;
  const std::chrono::seconds stall_after_;
  SteadyClock now_;
  metrics::Registry registry_;
  metrics::Family& processed_;
  metrics::Family& failed_;
  metrics::Family& commits_;
  metrics::Family& connected_;
  metrics::Family& reconnects_;
  metrics::Family& waiting_;
  metrics::Family& oldest_;
  metrics::Family& database_up_;
  std::mutex mutex_;
  SteadyTime last_commit_;  // the start until the first commit; guarded by mutex_
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_COLLECTOR_METRICS_H_
