// The collector's operations listener: /metrics, /healthz and /readyz on the
// address of `Software\Voltrane\MDCService` value "MetricsListen" (off when
// the value is missing; ":9464" is loopback), stalled after "StalledSeconds"
// (DWORD, default 300) of a waiting row with no commit.
//
// Start() reads the settings; with no address it does nothing and metrics()
// stays null, so the worker records nothing. An address that cannot be bound
// is reported through the context and leaves the collector running without
// the listener. Owned by the run thread; Stop() before the worker is gone.
#ifndef VOLTRANE_SERVICE_COLLECTOR_OPERATIONS_H_
#define VOLTRANE_SERVICE_COLLECTOR_OPERATIONS_H_

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "metrics/health_server.h"
#include "service/collector_metrics.h"
#include "service/log_backlog_probe.h"
#include "service/service_context.h"

namespace voltrane {

struct OperationsSettings {
  std::optional<std::string> host;  // none: no listener
  int port = 0;
  std::chrono::seconds stall_after{300};
};

// From the machine hive; an unusable address reads as none.
OperationsSettings ReadOperationsSettings();

class CollectorOperations {
 public:
  explicit CollectorOperations(ConfigurationReader reader,
                               SteadyClock now = std::chrono::steady_clock::now)
      : reader_(std::move(reader)), now_(std::move(now)) {}

  void Start(const OperationsSettings& settings, CServiceContext& context);
  void Stop();
  // Null unless the listener runs.
  CollectorMetrics* metrics() { return metrics_.get(); }
  int port() const { return server_ ? server_->port() : 0; }

 private:
  ConfigurationReader reader_;
  SteadyClock now_;
  std::unique_ptr<LogBacklogProbe> probe_;
  std::unique_ptr<CollectorMetrics> metrics_;
  std::unique_ptr<metrics::HealthServer> server_;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_COLLECTOR_OPERATIONS_H_
