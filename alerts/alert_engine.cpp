// Evaluating the alert rules and announcing their changes.
#include "alerts/alert_engine.h"

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>
#include <set>

#include "cipher/mod_crypto.h"

namespace alerts {

std::string AlertMessage(const Alert& alert, const std::string& status,
                         const std::string& board_url) {
  nlohmann::json body{{"status", status},
                      {"rule", alert.rule},
                      {"kind", RuleKindName(alert.kind)},
                      {"machine", alert.machine},
                      {"since", alert.since.ToText()}};
  if (alert.kind == RuleKind::kDowntime) {
    body["code"] = alert.code;
    body["code_name"] = alert.code_name;
  }
  body["url"] = alert.machine.empty() ? board_url + "/" : board_url + "/machines/" + alert.machine;
  return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

AlertEngine::AlertEngine(std::string connection_string, int32_t kind, AlertConfig config,
                         metrics::Registry& registry, DeliveryOptions delivery)
    : connection_string_(std::move(connection_string)),
      kind_(kind),
      config_(std::move(config)),
      evaluations_(registry.Counter("alert_evaluations_total", "Evaluations of the alert rules.")),
      evaluation_failures_(registry.Counter("alert_evaluation_failures_total",
                                            "Evaluations the database failed.")),
      active_gauge_(registry.Gauge("alerts_active", "Alerts active now.")) {
  delivery.queue_limit = config_.queue_limit;
  for (const Webhook& hook : config_.webhooks) {
    senders_.push_back(std::make_unique<WebhookSender>(hook.url, delivery, registry));
  }
}

AlertEngine::~AlertEngine() { Stop(); }

void AlertEngine::Start() {
  thread_ = std::thread([this] { Run(); });
}

void AlertEngine::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void AlertEngine::Run() {
  const std::chrono::seconds interval(std::clamp(config_.interval_seconds, 1, 5));
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    lock.unlock();
    std::string error;
    Evaluate(error);
    lock.lock();
    wake_.wait_for(lock, interval, [this] { return stopping_; });
  }
}

bool AlertEngine::Evaluate(std::string& error) {
  evaluations_.Add({});
  std::vector<Alert> now_active;
  try {
    if (!reads_ || !reads_->IsOpen()) {
      auto connection = std::make_shared<dbaccess::Connection>();
      connection->Open(voltrane::DecipherConnectionString(connection_string_));
      reads_ = std::move(connection);
    }
    now_active = ReadActiveAlerts(reads_, kind_, config_.rules);
  } catch (const std::exception& failure) {
    reads_.reset();
    evaluation_failures_.Add({});
    error = failure.what();
    return false;
  }
  std::map<std::string, Alert> current;
  for (Alert& alert : now_active) current.emplace(alert.Key(), std::move(alert));
  std::vector<Alert> started, ended;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& key : started_order_) {
      if (current.count(key) == 0) ended.push_back(active_.at(key));
    }
    std::erase_if(started_order_, [&](const std::string& key) { return current.count(key) == 0; });
    for (const auto& [key, alert] : current) {
      if (active_.count(key) == 0) {
        started.push_back(alert);
        started_order_.push_back(key);
      }
    }
    active_ = std::move(current);
    active_gauge_.Set({}, static_cast<double>(active_.size()));
  }
  for (const Alert& alert : ended) Announce(alert, "resolved");
  for (const Alert& alert : started) Announce(alert, "firing");
  return true;
}

void AlertEngine::Announce(const Alert& alert, const std::string& status) {
  const std::string message = AlertMessage(alert, status, config_.board_url);
  for (const std::unique_ptr<WebhookSender>& sender : senders_) sender->Post(message);
}

std::vector<Alert> AlertEngine::Active() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Alert> alerts;
  for (const std::string& key : started_order_) alerts.push_back(active_.at(key));
  return alerts;
}

}  // namespace alerts
