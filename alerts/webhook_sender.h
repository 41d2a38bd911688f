// WebhookSender: posts alert messages (JSON texts) to one webhook, in order,
// on a thread of its own, so that a receiver that is down delays no other.
// A post that fails (no answer, or a status other than 2xx) is tried again
// after a back-off that doubles from `retry_min` up to `retry_max`; nothing
// is lost until `queue_limit` posts wait, then the oldest is dropped and
// counted in voltrane_alert_posts_dropped_total.
// Thread rule: Post from any thread; the destructor stops the thread (a post
// in flight ends within its timeout).
#ifndef VOLTRANE_ALERTS_WEBHOOK_SENDER_H_
#define VOLTRANE_ALERTS_WEBHOOK_SENDER_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "metrics/metric_registry.h"

namespace alerts {

struct DeliveryOptions {
  size_t queue_limit = 1000;
  std::chrono::milliseconds retry_min{1000};
  std::chrono::milliseconds retry_max{60000};
  std::chrono::seconds timeout{5};
};

class WebhookSender {
 public:
  WebhookSender(std::string url, DeliveryOptions options, metrics::Registry& registry);
  ~WebhookSender();
  WebhookSender(const WebhookSender&) = delete;
  WebhookSender& operator=(const WebhookSender&) = delete;

  void Post(std::string body);

 private:
  void Run();
  bool Deliver(const std::string& body);

  const std::string url_;
  std::string origin_;  // http://host[:port]
  std::string path_;
  const DeliveryOptions options_;
  metrics::Family& sent_;
  metrics::Family& failed_;
  metrics::Family& dropped_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::string> waiting_;  // guarded by mutex_
  bool stopping_ = false;            // guarded by mutex_
  std::thread thread_;
};

}  // namespace alerts

#endif  // VOLTRANE_ALERTS_WEBHOOK_SENDER_H_
