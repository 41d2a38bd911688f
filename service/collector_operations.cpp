// Starting the collector's operations listener.
#include "service/collector_operations.h"

#include "metrics/listen_address.h"
#include "settings/reg_settings.h"

namespace voltrane {

OperationsSettings ReadOperationsSettings() {
  OperationsSettings settings;
  CRegKey key;
  if (key.Open(RegHive::kLocalMachine, kServiceKey) != kRegSuccess) return settings;
  if (const auto listen = key.StringValue("MetricsListen")) {
    std::string host;
    if (metrics::ParseListenAddress(*listen, host, settings.port)) settings.host = host;
  }
  if (const auto stalled = key.DWORDValue("StalledSeconds"); stalled && *stalled > 0) {
    settings.stall_after = std::chrono::seconds(*stalled);
  }
  return settings;
}

void CollectorOperations::Start(const OperationsSettings& settings, CServiceContext& context) {
  if (!settings.host) return;
  probe_ = std::make_unique<LogBacklogProbe>(reader_, now_);
  metrics_ = std::make_unique<CollectorMetrics>(*probe_, settings.stall_after, now_);
  server_ = std::make_unique<metrics::HealthServer>(
      metrics_->registry(), [this] { return metrics_->NotReadyReason(); });
  std::string error;
  if (!server_->Start(*settings.host, settings.port, error)) {
    context.LogStatus(EventType::kError, "Metrics: " + error);
    server_.reset();
    metrics_.reset();
    return;
  }
  context.LogStatus(EventType::kInformation,
                    "Metrics on " + *settings.host + ":" + std::to_string(server_->port()));
}

void CollectorOperations::Stop() {
  if (server_) server_->Stop();
}

}  // namespace voltrane
