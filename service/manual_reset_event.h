// ManualResetEvent: a flag that threads wait on; it stays signalled until
// reset. Used for the stop, pause and done events shared by the run thread and
// the worker. All operations are thread-safe and never fail.
#ifndef VOLTRANE_SERVICE_MANUAL_RESET_EVENT_H_
#define VOLTRANE_SERVICE_MANUAL_RESET_EVENT_H_

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace voltrane {

class ManualResetEvent {
 public:
  void Set();
  void Reset();
  // Tested without waiting.
  bool IsSet() const;
  // Waits up to `ms` milliseconds (negative: without limit); true when signalled.
  bool WaitFor(int64_t ms) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable signalled_;
  bool set_ = false;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_MANUAL_RESET_EVENT_H_
