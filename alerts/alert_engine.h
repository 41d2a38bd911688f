// AlertEngine: evaluates the alert rules every `interval_seconds` (at most
// 5 s apart) on a connection of its own, and posts each alert once when it
// starts ("firing") and once when it ends ("resolved") to every webhook.
// The alerts active after the last evaluation are kept for the board's
// banner and GET /api/v1/alerts. An evaluation the database fails changes
// nothing: no alert fires or resolves until the database answers again.
//
// The message of an alert is one JSON object: status, rule, kind, machine,
// since (the database's local time), code and code_name (downtimes), and the
// url of the machine's page on the board.
// Thread rule: Start/Stop from the owner; Evaluate (tests call it directly)
// from one thread at a time; Active from any thread.
#ifndef VOLTRANE_ALERTS_ALERT_ENGINE_H_
#define VOLTRANE_ALERTS_ALERT_ENGINE_H_

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "alerts/active_alerts.h"
#include "alerts/alert_config.h"
#include "alerts/webhook_sender.h"
#include "dbaccess/connection.h"
#include "metrics/metric_registry.h"

namespace alerts {

// The JSON text of an alert's post; `status` is "firing" or "resolved".
std::string AlertMessage(const Alert& alert, const std::string& status,
                         const std::string& board_url);

class AlertEngine {
 public:
  AlertEngine(std::string connection_string, int32_t kind, AlertConfig config,
              metrics::Registry& registry, DeliveryOptions delivery = {});
  ~AlertEngine();
  AlertEngine(const AlertEngine&) = delete;
  AlertEngine& operator=(const AlertEngine&) = delete;

  void Start();
  void Stop();

  // One evaluation. False with `error` when the database failed.
  bool Evaluate(std::string& error);
  // The alerts active after the last evaluation, in the order they started.
  std::vector<Alert> Active() const;
  const AlertConfig& config() const { return config_; }

 private:
  void Run();
  void Announce(const Alert& alert, const std::string& status);

  const std::string connection_string_;
  const int32_t kind_;
  const AlertConfig config_;
  std::shared_ptr<dbaccess::Connection> reads_;  // open, or null; evaluation thread only
  std::vector<std::unique_ptr<WebhookSender>> senders_;
  metrics::Family& evaluations_;
  metrics::Family& evaluation_failures_;
  metrics::Family& active_gauge_;
  mutable std::mutex mutex_;
  std::map<std::string, Alert> active_;     // by Key(); guarded by mutex_
  std::vector<std::string> started_order_;  // keys of active_ in start order; guarded by mutex_
  bool stopping_ = false;                   // guarded by mutex_
  std::condition_variable wake_;
  std::thread thread_;
};

}  // namespace alerts

#endif  // VOLTRANE_ALERTS_ALERT_ENGINE_H_
