// EventWaiter: how the service waits on an event with a time limit (the
// 30-second retries, the idle timeout, the 5-second end of the worker).
//
// RealTimeEventWaiter wakes as soon as the event is signalled. ClockEventWaiter
// spends the whole limit on an injected dbaccess::Clock unless the event is
// already signalled, so tests replay the waits with a ManualClock and act at
// each wait (a test clock can signal the event from its sleep). Both are
// thread-safe when their clock is.
#ifndef VOLTRANE_SERVICE_EVENT_WAITER_H_
#define VOLTRANE_SERVICE_EVENT_WAITER_H_

#include <cstdint>

#include "dbaccess/clock.h"
#include "service/manual_reset_event.h"

namespace voltrane {

class EventWaiter {
 public:
  virtual ~EventWaiter() = default;
  // True when the event is signalled by the end of the wait.
  virtual bool Wait(const ManualResetEvent& event, int64_t ms) = 0;
};

class RealTimeEventWaiter : public EventWaiter {
 public:
  bool Wait(const ManualResetEvent& event, int64_t ms) override;
};

class ClockEventWaiter : public EventWaiter {
 public:
  explicit ClockEventWaiter(dbaccess::Clock& clock) : clock_(clock) {}
  bool Wait(const ManualResetEvent& event, int64_t ms) override;

 private:
  dbaccess::Clock& clock_;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_EVENT_WAITER_H_
