// The /metrics, /healthz and /readyz answers.
#include "metrics/health_routes.h"

namespace metrics {

void AnswerMetrics(Registry& registry, httplib::Response& res) {
  res.status = 200;
  res.set_content(registry.Render(), kMetricsContentType);
}

void AnswerHealth(httplib::Response& res) {
  res.status = 200;
  res.set_content("ok\n", "text/plain");
}

void AnswerReadiness(const ReadinessCheck& check, httplib::Response& res) {
  const std::optional<std::string> reason = check ? check() : std::nullopt;
  res.status = reason ? 503 : 200;
  res.set_content(reason ? *reason + "\n" : std::string("ready\n"), "text/plain");
}

void AddHealthRoutes(httplib::Server& server, Registry& registry, ReadinessCheck check) {
  server.Get("/metrics", [&registry](const httplib::Request&, httplib::Response& res) {
    AnswerMetrics(registry, res);
  });
  server.Get("/healthz",
             [](const httplib::Request&, httplib::Response& res) { AnswerHealth(res); });
  server.Get("/readyz", [check = std::move(check)](const httplib::Request&,
                                                   httplib::Response& res) {
    AnswerReadiness(check, res);
  });
}

}  // namespace metrics
