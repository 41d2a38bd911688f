// The board's metrics families.
#include "web/board_metrics.h"

#include <array>
#include <string_view>

namespace web {
namespace {

// Routes with a fixed path, and those with one segment after a prefix.
constexpr std::array<std::string_view, 10> kFixedRoutes = {
    "/",           "/api/v1/machines", "/api/v1/oee",     "/api/v1/log/count", "/api/v1/commands",
    "/api/v1/alerts", "/api/v1/choices", "/metrics",      "/healthz",          "/readyz"};
constexpr std::array<std::string_view, 3> kNumberRoutes = {"/machines/", "/api/v1/machines/",
                                                           "/terminal/"};

}  // namespace

std::string RouteTemplate(const std::string& path) {
  for (const std::string_view route : kFixedRoutes) {
    if (path == route) return std::string(route);
  }
  for (const std::string_view prefix : kNumberRoutes) {
    if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
        path.find('/', prefix.size()) == std::string::npos) {
      return std::string(prefix) + "{number}";
    }
  }
  return "other";
}

BoardMetrics::BoardMetrics(std::function<int64_t()> open_connections)
    : requests_(registry_.Counter("board_requests_total", "HTTP requests by route and status.",
                                  {"route", "status"})),
      appended_(registry_.Counter("board_commands_appended_total",
                                  "Commands appended to the MDC log through the board.")),
      refused_(registry_.Counter("board_commands_refused_total",
                                 "Commands refused before appending, by refusal number.",
                                 {"reason"})) {
  metrics::Family& open = registry_.Gauge("board_open_connections", "Connections open now.");
  registry_.AddScrapeHook([&open, count = std::move(open_connections)](metrics::Registry&) {
    open.Set({}, static_cast<double>(count()));
  });
}

void BoardMetrics::CountRequest(const std::string& path, int status) {
  requests_.Add({RouteTemplate(path), std::to_string(status)});
}

void BoardMetrics::CountAppended(int64_t commands) {
  appended_.Add({}, static_cast<double>(commands));
}

void BoardMetrics::CountRefused(korvex7::Refusal reason) {
  refused_.Add({std::to_string(static_cast<int32_t>(reason))});
}

}  // namespace web
