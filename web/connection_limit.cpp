#include "web/connection_limit.h"

namespace web {
namespace {

// Set on the thread that answers a connection there is no room for.
thread_local bool t_refusing = false;

}  // namespace

ConnectionQueue::ConnectionQueue(size_t threads, size_t max_waiting,
                                 std::shared_ptr<std::atomic<int64_t>> open)
    : capacity_(threads + max_waiting), open_(std::move(open)) {
  for (size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
  threads_.emplace_back([this] { Refuse(); });
}

ConnectionQueue::~ConnectionQueue() { shutdown(); }

void ConnectionQueue::enqueue(std::function<void()> fn) {
  if (open_) {
    ++*open_;
    fn = [served = std::move(fn), open = open_] {
      served();
      --*open;
    };
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (busy_ + waiting_.size() < capacity_) {
      waiting_.push_back(std::move(fn));
      wake_.notify_all();
      return;
    }
    if (refusals_.size() < kMaxRefusalsWaiting) {
      refusals_.push_back(std::move(fn));
      wake_.notify_all();
      return;
    }
  }
  // Not even room to refuse elsewhere: the connection is refused right here.
  t_refusing = true;
  fn();
  t_refusing = false;
}

void ConnectionQueue::shutdown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shutting_down_ && threads_.empty()) return;
    shutting_down_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
  threads_.clear();
}

void ConnectionQueue::Work() {
  for (;;) {
    std::function<void()> fn;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return shutting_down_ || !waiting_.empty(); });
      if (waiting_.empty()) return;
      fn = std::move(waiting_.front());
      waiting_.pop_front();
      ++busy_;
    }
    fn();
    std::lock_guard<std::mutex> lock(mutex_);
    --busy_;
  }
}

void ConnectionQueue::Refuse() {
  t_refusing = true;
  for (;;) {
    std::function<void()> fn;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return shutting_down_ || !refusals_.empty(); });
      if (refusals_.empty()) return;
      fn = std::move(refusals_.front());
      refusals_.pop_front();
    }
    fn();
  }
}

LimitedHttpServer::LimitedHttpServer(size_t max_connections, size_t max_waiting) {
  new_task_queue = [max_connections, max_waiting, open = open_] {
    return new ConnectionQueue(max_connections, max_waiting, open);
  };
}

bool RefusingConnection() { return t_refusing; }

}  // namespace web
