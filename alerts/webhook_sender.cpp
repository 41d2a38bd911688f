// Delivering alert posts to one webhook.
#include "alerts/webhook_sender.h"

#include <httplib.h>

#include <algorithm>

namespace alerts {

WebhookSender::WebhookSender(std::string url, DeliveryOptions options, metrics::Registry& registry)
    : url_(std::move(url)),
      options_(options),
      sent_(registry.Counter("alert_posts_sent_total", "Alert posts a webhook accepted.",
                             {"webhook"})),
      failed_(registry.Counter("alert_posts_failed_total",
                               "Alert post attempts that failed (tried again).", {"webhook"})),
      dropped_(registry.Counter("alert_posts_dropped_total",
                                "Alert posts dropped, oldest first, from a full queue.",
                                {"webhook"})) {
  const size_t slash = url_.find('/', url_.find("://") + 3);
  origin_ = url_.substr(0, slash);
  path_ = slash == std::string::npos ? "/" : url_.substr(slash);
  thread_ = std::thread([this] { Run(); });
}

WebhookSender::~WebhookSender() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void WebhookSender::Post(std::string body) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (waiting_.size() >= options_.queue_limit) {
      waiting_.pop_front();
      dropped_.Add({url_});
    }
    waiting_.push_back(std::move(body));
  }
  wake_.notify_all();
}

bool WebhookSender::Deliver(const std::string& body) {
  httplib::Client client(origin_);
  client.set_connection_timeout(options_.timeout);
  client.set_read_timeout(options_.timeout);
  client.set_write_timeout(options_.timeout);
  const httplib::Result result = client.Post(path_, body, "application/json");
  return result && result->status >= 200 && result->status < 300;
}

void WebhookSender::Run() {
  std::chrono::milliseconds retry = options_.retry_min;
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_) return;
    const std::string body = waiting_.front();
    lock.unlock();
    const bool delivered = Deliver(body);
    lock.lock();
    if (delivered) {
      // The front is still this post unless a full queue dropped it meanwhile.
      if (!waiting_.empty() && waiting_.front() == body) waiting_.pop_front();
      sent_.Add({url_});
      retry = options_.retry_min;
      continue;
    }
    failed_.Add({url_});
    if (wake_.wait_for(lock, retry, [this] { return stopping_; })) return;
    retry = std::min(retry * 2, options_.retry_max);
  }
}

}  // namespace alerts
