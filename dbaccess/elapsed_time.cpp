// True elapsed time across local clock changes (see elapsed_time.h).
#include "dbaccess/elapsed_time.h"

#include <algorithm>
#include <ctime>

namespace dbaccess {
namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kSecondsPerDay = 86400;
// Wider than any UTC offset, so that the instants probed around a wall-clock
// reading surely cover it.
constexpr int64_t kMarginSeconds = 2 * kSecondsPerDay;

// The UTC offset of this computer's zone at a UTC instant, in seconds.
int64_t OffsetAt(int64_t utc_seconds) {
  const time_t t = static_cast<time_t>(utc_seconds);
  tm local{};
  localtime_r(&t, &local);
  return local.tm_gmtoff;
}

// The first second of (low, high] whose offset is that of `high`, given that
// low's offset differs.
int64_t FirstSecondOfOffset(int64_t low, int64_t high) {
  const int64_t target = OffsetAt(high);
  while (high - low > 1) {
    const int64_t middle = low + (high - low) / 2;
    if (OffsetAt(middle) == target) {
      high = middle;
    } else {
      low = middle;
    }
  }
  return high;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int64_t Ms(const DateTime& value) { return value.MillisecondsSinceEpoch(); }

bool Inside(const DateTime& value, const ClockChange& change) {
  return change.from <= value && value < change.to;
}

// What a change adds to the plain difference of the readings.
int64_t Correction(const DateTime& start, const DateTime& stop, const ClockChange& change) {
  const int64_t length = Ms(change.to) - Ms(change.from);
  if (!change.repeated) {
    if (!(start < stop)) return 0;
    const int64_t overlap = Ms(std::min(stop, change.to)) - Ms(std::max(start, change.from));
    return overlap > 0 ? -overlap : 0;
  }
  if (start < change.from && change.to <= stop) return length;
  if (Inside(start, change) && Inside(stop, change) && stop < start) return length;
  return 0;
}

int64_t Seconds(const DateTime& value) { return FloorDiv(Ms(value), kMsPerSecond); }

// The changes of this computer's zone at UTC instants in (begin, end].
std::vector<ClockChange> ChangesAtInstants(int64_t begin, int64_t end) {
  std::vector<ClockChange> changes;
  int64_t previous = begin;
  int64_t previous_offset = OffsetAt(previous);
  // Zones change at most a few times a year; a daily probe finds each change.
  while (previous < end) {
    const int64_t probe = std::min(previous + kSecondsPerDay, end);
    const int64_t offset = OffsetAt(probe);
    if (offset != previous_offset) {
      const int64_t instant = FirstSecondOfOffset(previous, probe);
      const DateTime before =
          DateTime::FromMillisecondsSinceEpoch((instant + previous_offset) * kMsPerSecond);
      const DateTime after =
          DateTime::FromMillisecondsSinceEpoch((instant + offset) * kMsPerSecond);
      changes.push_back(
          {std::min(before, after), std::max(before, after), offset < previous_offset});
    }
    previous = probe;
    previous_offset = offset;
  }
  return changes;
}

}  // namespace

std::vector<ClockChange> ClockChangesBetween(const DateTime& first, const DateTime& last) {
  const DateTime low = std::min(first, last);
  const DateTime high = std::max(first, last);
  std::vector<ClockChange> changes =
      ChangesAtInstants(Seconds(low) - kMarginSeconds, Seconds(high) + kMarginSeconds);
  std::erase_if(changes, [&](const ClockChange& c) { return !(c.to > low && c.from <= high); });
  return changes;
}

int64_t ElapsedMilliseconds(const DateTime& start, const DateTime& stop,
                            const std::vector<ClockChange>& changes) {
  int64_t elapsed = Ms(stop) - Ms(start);
  for (const ClockChange& change : changes) elapsed += Correction(start, stop, change);
  return elapsed;
}

int64_t ElapsedMilliseconds(const DateTime& start, const DateTime& stop) {
  const int64_t low = Seconds(std::min(start, stop));
  const int64_t high = Seconds(std::max(start, stop));
  if (high - low <= 3 * kMarginSeconds) {
    return ElapsedMilliseconds(start, stop,
                               ChangesAtInstants(low - kMarginSeconds, high + kMarginSeconds));
  }
  // A long span: only the changes near either end need the rule; those in
  // between add up to the difference of the offsets around them.
  std::vector<ClockChange> near = ChangesAtInstants(low - kMarginSeconds, low + kMarginSeconds);
  for (const ClockChange& change :
       ChangesAtInstants(high - kMarginSeconds, high + kMarginSeconds)) {
    near.push_back(change);
  }
  int64_t elapsed = ElapsedMilliseconds(start, stop, near);
  if (start < stop) {
    elapsed += (OffsetAt(low + kMarginSeconds) - OffsetAt(high - kMarginSeconds)) * kMsPerSecond;
  }
  return elapsed;
}

int64_t ElapsedSeconds(const DateTime& start, const DateTime& stop) {
  // Offsets are whole seconds, so cutting the readings first keeps the count
  // of a zone without changes exactly as before.
  return ElapsedMilliseconds(start.WithoutMilliseconds(), stop.WithoutMilliseconds()) /
         kMsPerSecond;
}

std::vector<int64_t> MomentsOf(const DateTime& wall) {
  const int64_t seconds = Seconds(wall);
  const int64_t millis = Ms(wall) - seconds * kMsPerSecond;
  std::vector<int64_t> offsets = {OffsetAt(seconds - kMarginSeconds), OffsetAt(seconds),
                                  OffsetAt(seconds + kMarginSeconds)};
  std::sort(offsets.begin(), offsets.end());
  offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
  std::vector<int64_t> moments;
  // A larger offset means an earlier instant for the same reading.
  for (auto offset = offsets.rbegin(); offset != offsets.rend(); ++offset) {
    const int64_t instant = seconds - *offset;
    if (OffsetAt(instant) == *offset) moments.push_back(instant * kMsPerSecond + millis);
  }
  if (moments.empty()) {
    // Skipped: the clock moved between the readings of the two offsets.
    moments.push_back(FirstSecondOfOffset(seconds - offsets.back(), seconds - offsets.front()) *
                      kMsPerSecond);
  }
  return moments;
}

std::optional<int64_t> EarliestMomentNotBefore(const DateTime& wall, int64_t not_before) {
  for (const int64_t moment : MomentsOf(wall)) {
    if (moment >= not_before) return moment;
  }
  return std::nullopt;
}

bool MoreThanElapsed(const DateTime& start, const DateTime& stop, int64_t ms) {
  return ElapsedMilliseconds(start, stop) > ms;
}

}  // namespace dbaccess
