// Elapsed time between two local wall-clock readings.
//
// Stored times are local wall-clock readings without a zone. Where the local
// clock changes (daylight saving time), the difference of two readings is not
// the time that passed: on the spring day an hour is skipped, on the autumn
// day one is repeated. This is the one place that turns two readings into the
// true elapsed time, using the zone of this computer through the C library
// (localtime_r; the TZ environment variable names another zone).
//
// The rule, for a start s and a stop t:
// - a skipped hour does not count: the part of [s, t] inside it is taken off;
// - a repeated hour counts twice when s lies before it and t after it;
// - when both lie in the repeated hour and t reads earlier than s, s is taken
//   from the first pass and t from the second (the clock went back between
//   them), so the elapsed time is the positive one;
// - otherwise readings inside the repeated hour are taken as the pair that
//   gives the shorter elapsed time.
// A negative result means t is truly before s. Without clock changes the
// result is the plain difference of the readings. Thread-safe.
#ifndef VOLTRANE_DBACCESS_ELAPSED_TIME_H_
#define VOLTRANE_DBACCESS_ELAPSED_TIME_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "dbaccess/date_time.h"

namespace dbaccess {

// One change of the local clock: the wall-clock hour [from, to) that is
// skipped (the clock went forward) or repeated (it went back).
struct ClockChange {
  DateTime from;
  DateTime to;
  bool repeated = false;

  bool operator==(const ClockChange&) const = default;
};

// The local clock changes whose wall-clock span meets [first, last].
std::vector<ClockChange> ClockChangesBetween(const DateTime& first, const DateTime& last);

// True elapsed milliseconds from start to stop under the given changes.
int64_t ElapsedMilliseconds(const DateTime& start, const DateTime& stop,
                            const std::vector<ClockChange>& changes);
// The same under the changes of this computer's zone.
int64_t ElapsedMilliseconds(const DateTime& start, const DateTime& stop);

// Whole seconds from start to stop, each reading cut to its second first, as
// DateTime::SecondsUntil counts them, but with the true elapsed time.
int64_t ElapsedSeconds(const DateTime& start, const DateTime& stop);

// The instants (UTC milliseconds) a wall-clock reading can stand for,
// earliest first: two inside a repeated hour, otherwise one. A reading inside
// a skipped hour stands for the instant the clock moved, as the rule above
// counts it.
std::vector<int64_t> MomentsOf(const DateTime& wall);

// The earliest instant of `wall` not before `not_before`; nullopt when all of
// them are older. This is how a log row's time is read against the latest
// time recorded: inside a repeated hour, the second pass once the first is
// older.
std::optional<int64_t> EarliestMomentNotBefore(const DateTime& wall, int64_t not_before);

// Whether more than `ms` milliseconds truly passed from start to stop.
bool MoreThanElapsed(const DateTime& start, const DateTime& stop, int64_t ms);

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_ELAPSED_TIME_H_
