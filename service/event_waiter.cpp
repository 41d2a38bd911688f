// The two ways of waiting on an event with a limit.
#include "service/event_waiter.h"

namespace voltrane {

bool RealTimeEventWaiter::Wait(const ManualResetEvent& event, int64_t ms) {
  return event.WaitFor(ms);
}

bool ClockEventWaiter::Wait(const ManualResetEvent& event, int64_t ms) {
  if (event.IsSet()) return true;
  clock_.SleepMilliseconds(ms);
  return event.IsSet();
}

}  // namespace voltrane
