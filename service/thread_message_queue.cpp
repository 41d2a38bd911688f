// The run thread's message queue.
#include "service/thread_message_queue.h"

namespace voltrane {

void ThreadMessageQueue::Post(uint32_t message) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.push_back(message);
  posted_.notify_one();
}

uint32_t ThreadMessageQueue::Get() {
  std::unique_lock<std::mutex> lock(mutex_);
  posted_.wait(lock, [this] { return !messages_.empty(); });
  const uint32_t message = messages_.front();
  messages_.pop_front();
  return message;
}

}  // namespace voltrane
