// Clock: the one way the system reads the local time and waits.
//
// Every retry rule (5-second reconnects, 999 ms transaction retries, 30-second
// waits, 5-minute deadlines) goes through a Clock so that tests replay them in
// microseconds with a ManualClock. Implementations must be thread-safe.
#ifndef VOLTRANE_DBACCESS_CLOCK_H_
#define VOLTRANE_DBACCESS_CLOCK_H_

#include <cstdint>
#include <memory>
#include <mutex>

#include "dbaccess/date_time.h"

namespace dbaccess {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() = 0;
  virtual void SleepMilliseconds(int64_t ms) = 0;
};

// Real local time and real sleeps.
class SystemClock : public Clock {
 public:
  DateTime Now() override;
  void SleepMilliseconds(int64_t ms) override;
};

// A clock that only moves when slept on or advanced; sleeping advances it at
// once. Counts sleeps so tests can check how often a rule waited.
class ManualClock : public Clock {
 public:
  explicit ManualClock(DateTime start = DateTime::FromParts(2026, 1, 5, 8, 0, 0)) : now_(start) {}
  DateTime Now() override;
  void SleepMilliseconds(int64_t ms) override;
  void Advance(int64_t ms);
  int64_t slept_ms() const;
  int sleep_count() const;

 private:
  mutable std::mutex mutex_;
  DateTime now_;
  int64_t slept_ms_ = 0;
  int sleep_count_ = 0;
};

// The clock the system uses unless a caller injects another one.
std::shared_ptr<Clock> DefaultClock();

// Waits at least `ms`: polls every `poll_ms` until the whole seconds elapsed
// (difference of the two readings' seconds) are no longer below ms / 1000, so
// the resolution is one second, as the records' waits have always been.
void WaitWholeSeconds(Clock& clock, int64_t ms, int64_t poll_ms);

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_CLOCK_H_
