// The bridges' --metrics option.
#include "tools/metrics_option.h"

#include <fmt/format.h>

#include "metrics/listen_address.h"

bool ParseMetricsOption(const std::string& text, MetricsListen& listen, std::ostream& err) {
  listen.on = !text.empty();
  if (!listen.on || metrics::ParseListenAddress(text, listen.host, listen.port)) return true;
  err << "--metrics: \"" << text << "\" is not HOST:PORT\n";
  return false;
}

bool StartMetrics(metrics::HealthServer& health, const MetricsListen& listen,
                  mtconnect::Reporter& reporter, std::ostream& err) {
  if (!listen.on) return true;
  std::string error;
  if (!health.Start(listen.host, listen.port, error)) {
    err << error << "\n";
    return false;
  }
  reporter.Report(mtconnect::Severity::kInfo,
                  fmt::format("metrics on {}:{}", listen.host, health.port()));
  return true;
}
