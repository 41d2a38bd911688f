// ManualResetEvent over a mutex and a condition variable.
#include "service/manual_reset_event.h"

#include <chrono>

namespace voltrane {

void ManualResetEvent::Set() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = true;
  signalled_.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = false;
}

bool ManualResetEvent::IsSet() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_;
}

bool ManualResetEvent::WaitFor(int64_t ms) const {
  std::unique_lock<std::mutex> lock(mutex_);
  if (ms < 0) {
    signalled_.wait(lock, [this] { return set_; });
    return true;
  }
  return signalled_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return set_; });
}

}  // namespace voltrane
