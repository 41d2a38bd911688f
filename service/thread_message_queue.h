// ThreadMessageQueue: the run thread's message queue. The control handler, the
// key watcher, the signal watcher and the worker only post messages here; the
// run thread alone takes them and acts. Thread-safe; Get blocks.
#ifndef VOLTRANE_SERVICE_THREAD_MESSAGE_QUEUE_H_
#define VOLTRANE_SERVICE_THREAD_MESSAGE_QUEUE_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace voltrane {

class ThreadMessageQueue {
 public:
  void Post(uint32_t message);
  // Waits for the next message and removes it.
  uint32_t Get();

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<uint32_t> messages_;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_THREAD_MESSAGE_QUEUE_H_
