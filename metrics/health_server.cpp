// The stand-alone listener of the operations routes.
#include "metrics/health_server.h"

#include <fmt/format.h>

#include <chrono>

namespace metrics {

HealthServer::HealthServer(Registry& registry, ReadinessCheck check)
    : server_(std::make_unique<httplib::Server>()) {
  server_->set_read_timeout(5, 0);
  server_->set_write_timeout(5, 0);
  AddHealthRoutes(*server_, registry, std::move(check));
}

HealthServer::~HealthServer() { Stop(); }

bool HealthServer::Start(const std::string& host, int port, std::string& error) {
  const int bound = port == 0 ? server_->bind_to_any_port(host)
                              : (server_->bind_to_port(host, port) ? port : -1);
  if (bound < 0) {
    error = fmt::format("cannot listen on {}:{}", host, port);
    return false;
  }
  port_ = bound;
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // A stop before the loop runs would be lost: wait until it does.
  for (int i = 0; i < 500 && !server_->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void HealthServer::Stop() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

}  // namespace metrics
