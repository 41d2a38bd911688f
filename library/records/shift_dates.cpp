// Date arithmetic of the shift calendar; see shift_dates.h.
#include "library/records/shift_dates.h"

namespace korvex7::internal {

namespace {

constexpr int64_t kMillisecondsPerDay = 86400000;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

dbaccess::DateTime ShiftBaseDay() { return dbaccess::DateTime::FromParts(1970, 1, 1); }

dbaccess::DateTime CombineDateAndTime(const dbaccess::DateTime& dtDate,
                                      const dbaccess::DateTime& dtTime) {
  return dbaccess::DateTime::FromParts(dtDate.Year(), dtDate.Month(), dtDate.Day(), dtTime.Hour(),
                                       dtTime.Minute(), dtTime.Second());
}

dbaccess::DateTime DatePartOnly(const dbaccess::DateTime& dtValue) { return dtValue.DatePart(); }

dbaccess::DateTime TruncateToSeconds(const dbaccess::DateTime& dtValue) {
  return dtValue.WithoutMilliseconds();
}

int32_t DaysFromShiftBaseDay(const dbaccess::DateTime& dtValue) {
  const int64_t ms =
      dtValue.DatePart().MillisecondsSinceEpoch() - ShiftBaseDay().MillisecondsSinceEpoch();
  return static_cast<int32_t>(FloorDiv(ms, kMillisecondsPerDay));
}

bool IsMidnight(const dbaccess::DateTime& dtValue) { return dtValue.DatePart() == dtValue; }

}  // namespace korvex7::internal
