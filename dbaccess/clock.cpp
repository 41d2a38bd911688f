#include "dbaccess/clock.h"

#include <chrono>
#include <thread>

#include "dbaccess/elapsed_time.h"

namespace dbaccess {

DateTime SystemClock::Now() { return DateTime::Now(); }

void SystemClock::SleepMilliseconds(int64_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

DateTime ManualClock::Now() {
  std::lock_guard<std::mutex> lock(mutex_);
  return now_;
}

void ManualClock::SleepMilliseconds(int64_t ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_ = now_.AddMilliseconds(ms);
  slept_ms_ += ms;
  ++sleep_count_;
}

void ManualClock::Advance(int64_t ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_ = now_.AddMilliseconds(ms);
}

int64_t ManualClock::slept_ms() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return slept_ms_;
}

int ManualClock::sleep_count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sleep_count_;
}

std::shared_ptr<Clock> DefaultClock() {
  static std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
  return clock;
}

void WaitWholeSeconds(Clock& clock, int64_t ms, int64_t poll_ms) {
  const DateTime start = clock.Now();
  // Real seconds: a wait across the autumn change must not last an hour more.
  while (ElapsedSeconds(start, clock.Now()) * 1000 < ms) {
    clock.SleepMilliseconds(poll_ms);
  }
}

}  // namespace dbaccess
