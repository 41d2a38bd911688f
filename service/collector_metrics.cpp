// The collector's metrics families and its readiness rule.
#include "service/collector_metrics.h"

#include <fmt/format.h>

namespace voltrane {
namespace {

// A refresh request has no COMMAND_ID.
std::string CommandLabel(int32_t command_id) {
  return command_id < 0 ? std::string("refresh") : std::to_string(command_id);
}

}  // namespace

std::optional<std::string> CollectorNotReadyReason(const LogBacklog& backlog,
                                                   std::chrono::seconds since_commit,
                                                   std::chrono::seconds stall_after) {
  if (!backlog.answered) return "database does not answer: " + backlog.error;
  if (backlog.waiting > 0 && backlog.oldest_seconds > static_cast<double>(stall_after.count()) &&
      since_commit > stall_after) {
    return fmt::format(
        "processing stalled: the oldest of {} rows has waited {:.0f} s and nothing was "
        "committed for {} s",
        backlog.waiting, backlog.oldest_seconds, since_commit.count());
  }
  return std::nullopt;
}

CollectorMetrics::CollectorMetrics(LogBacklogProbe& probe, std::chrono::seconds stall_after,
                                   SteadyClock now)
    : probe_(probe),
      stall_after_(stall_after),
      now_(std::move(now)),
      processed_(registry_.Counter("collector_rows_processed_total",
                                   "Log rows processed and removed from the log, by COMMAND_ID.",
                                   {"command"})),
      failed_(registry_.Counter("collector_rows_failed_total",
                                "Failed attempts at a log row, by COMMAND_ID.", {"command"})),
      commits_(registry_.Histogram("collector_batch_commit_seconds",
                                   "Duration of the batch commits that succeeded.")),
      connected_(registry_.Gauge("collector_database_connected",
                                 "1 while the worker holds its database connection.")),
      reconnects_(registry_.Counter("collector_reconnects_total",
                                    "Connections made again after a lost one.")),
      waiting_(registry_.Gauge("collector_rows_waiting", "Rows waiting in the MDC log.")),
      oldest_(registry_.Gauge("collector_oldest_waiting_seconds",
                              "Age of the oldest row waiting in the MDC log.")),
      database_up_(registry_.Gauge("collector_database_up",
                                   "1 when the database answered the last scrape's query.")),
      last_commit_(now_()) {
  registry_.AddScrapeHook([this](metrics::Registry&) {
    const LogBacklog backlog = probe_.Read();
    database_up_.Set({}, backlog.answered ? 1 : 0);
    if (!backlog.answered) return;  // the last values stay
    waiting_.Set({}, static_cast<double>(backlog.waiting));
    oldest_.Set({}, backlog.oldest_seconds);
  });
}

void CollectorMetrics::Record(const Korvex7ProcessingReport& report) {
  for (const auto& [command, rows] : report.processed) {
    processed_.Add({CommandLabel(command)}, static_cast<double>(rows));
  }
  for (const auto& [command, rows] : report.failed) {
    failed_.Add({CommandLabel(command)}, static_cast<double>(rows));
  }
  for (const double seconds : report.commit_seconds) commits_.Observe({}, seconds);
  if (!report.commit_seconds.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    last_commit_ = now_();
  }
}

void CollectorMetrics::SetConnected(bool connected) { connected_.Set({}, connected ? 1 : 0); }

void CollectorMetrics::CountReconnect() { reconnects_.Add({}); }

std::chrono::seconds CollectorMetrics::SinceCommit() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::chrono::duration_cast<std::chrono::seconds>(now_() - last_commit_);
}

std::optional<std::string> CollectorMetrics::NotReadyReason() {
  return CollectorNotReadyReason(probe_.Read(), SinceCommit(), stall_after_);
}

}  // namespace voltrane
