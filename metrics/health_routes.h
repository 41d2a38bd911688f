// The answers of the three read-only operations routes, for any program's
// HTTP server:
//
//   GET /metrics   the registry's text (text/plain; version=0.0.4)
//   GET /healthz   200 "ok": the process runs and answers
//   GET /readyz    200 "ready", or 503 with the reason the check gives
//
// The check runs on the requesting thread; it must be cheap (a value the
// program keeps, or one cached query).
#ifndef VOLTRANE_METRICS_HEALTH_ROUTES_H_
#define VOLTRANE_METRICS_HEALTH_ROUTES_H_

#include <httplib.h>

#include <functional>
#include <optional>
#include <string>

#include "metrics/metric_registry.h"

namespace metrics {

// nullopt when ready, else the reason it is not.
using ReadinessCheck = std::function<std::optional<std::string>()>;

void AnswerMetrics(Registry& registry, httplib::Response& res);
void AnswerHealth(httplib::Response& res);
void AnswerReadiness(const ReadinessCheck& check, httplib::Response& res);

// Adds the three routes, unguarded, to `server`.
void AddHealthRoutes(httplib::Server& server, Registry& registry, ReadinessCheck check);

}  // namespace metrics

#endif  // VOLTRANE_METRICS_HEALTH_ROUTES_H_
