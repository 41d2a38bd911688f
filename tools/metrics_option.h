// The bridges' --metrics option: where their /metrics, /healthz and /readyz
// listen (off when the option is not given), read before anything starts
// and served once the signals are blocked.
#ifndef VOLTRANE_TOOLS_METRICS_OPTION_H_
#define VOLTRANE_TOOLS_METRICS_OPTION_H_

#include <ostream>
#include <string>

#include "metrics/health_server.h"
#include "mtconnect/reporter.h"

struct MetricsListen {
  bool on = false;
  std::string host;
  int port = 0;
};

// False after writing the error to `err` when `text` is not HOST:PORT.
bool ParseMetricsOption(const std::string& text, MetricsListen& listen, std::ostream& err);

// Starts `health` when the option was given and reports where it listens;
// false after writing the error to `err`.
bool StartMetrics(metrics::HealthServer& health, const MetricsListen& listen,
                  mtconnect::Reporter& reporter, std::ostream& err);

#endif  // VOLTRANE_TOOLS_METRICS_OPTION_H_
