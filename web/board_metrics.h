// BoardMetrics: what `korvex7 serve` counts for /metrics on the board's own
// port: requests by route template and status, commands appended and
// refused (by the refusal's number, korvex7_commands.h), and the connections
// open at the scrape. The registry is shared with the alerts, which add
// their own families.
// Thread rule: any thread.
#ifndef VOLTRANE_WEB_BOARD_METRICS_H_
#define VOLTRANE_WEB_BOARD_METRICS_H_

#include <cstdint>
#include <functional>
#include <string>

#include "library/korvex7_commands.h"
#include "metrics/metric_registry.h"

namespace web {

// The route a path was served by, e.g. "/machines/{number}"; "other" for
// paths no route knows, so that the label's values stay few.
std::string RouteTemplate(const std::string& path);

class BoardMetrics {
 public:
  // `open_connections` is read at each scrape.
  explicit BoardMetrics(std::function<int64_t()> open_connections);

  void CountRequest(const std::string& path, int status);
  void CountAppended(int64_t commands);
  void CountRefused(korvex7::Refusal reason);

  metrics::Registry& registry() { return registry_; }

 private:
  metrics::Registry registry_;
  metrics::Family& requests_;
  metrics::Family& appended_;
  metrics::Family& refused_;
};

}  // namespace web

#endif  // VOLTRANE_WEB_BOARD_METRICS_H_
