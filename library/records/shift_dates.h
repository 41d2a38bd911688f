// Date arithmetic of the shift calendar: a date combined with another value's
// time of day, the day part alone, a value cut to whole seconds. Interval
// times are stored on the base day 1970-01-01. Pure functions; thread-safe.
#ifndef VOLTRANE_LIBRARY_SHIFT_DATES_H_
#define VOLTRANE_LIBRARY_SHIFT_DATES_H_

#include <cstdint>

#include "dbaccess/date_time.h"

namespace korvex7::internal {

// The day interval times are stored on.
dbaccess::DateTime ShiftBaseDay();

// The calendar date of dtDate at the time of day (whole seconds) of dtTime.
dbaccess::DateTime CombineDateAndTime(const dbaccess::DateTime& dtDate,
                                      const dbaccess::DateTime& dtTime);
// The same day at 00:00.
dbaccess::DateTime DatePartOnly(const dbaccess::DateTime& dtValue);
// The value without its fraction of a second.
dbaccess::DateTime TruncateToSeconds(const dbaccess::DateTime& dtValue);
// Whole days from the base day to dtValue's date (negative before it).
int32_t DaysFromShiftBaseDay(const dbaccess::DateTime& dtValue);
// True when the value is a midnight.
bool IsMidnight(const dbaccess::DateTime& dtValue);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_SHIFT_DATES_H_
