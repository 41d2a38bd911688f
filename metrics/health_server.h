// HealthServer: a tiny read-only HTTP listener with /metrics, /healthz and
// /readyz (health_routes.h), for programs that serve nothing else over HTTP
// (the collector, the bridges). It accepts GET only; anything else is 404.
//
// Start() binds and serves on its own thread; Stop() ends it from any
// thread and waits for it. Destroying the server stops it. The registry and
// the check must outlive the server.
#ifndef VOLTRANE_METRICS_HEALTH_SERVER_H_
#define VOLTRANE_METRICS_HEALTH_SERVER_H_

#include <memory>
#include <string>
#include <thread>

#include "metrics/health_routes.h"
#include "metrics/metric_registry.h"

namespace metrics {

class HealthServer {
 public:
  HealthServer(Registry& registry, ReadinessCheck check);
  ~HealthServer();
  HealthServer(const HealthServer&) = delete;
  HealthServer& operator=(const HealthServer&) = delete;

  // Binds to host:port (port 0: any free port). False with `error` set when
  // the address cannot be bound.
  bool Start(const std::string& host, int port, std::string& error);
  // The port bound by Start.
  int port() const { return port_; }
  void Stop();

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace metrics

#endif  // VOLTRANE_METRICS_HEALTH_SERVER_H_
