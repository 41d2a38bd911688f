// The running periods of a machine data record (setup, teardown, idle,
// cycle): a period runs while its start column holds a time; ending it adds
// the whole seconds since then, in hours (minutes for cycles) converted to
// single precision, to its accumulator and empties the start. Downtime rows
// are closed the same way, with their duration in hours. The functions work
// on an open, positioned recordset and leave saving it to the caller, except
// CloseFirstOpenDowntime, which saves the row it closes. Recordset errors
// (DbError) reach the caller.
#ifndef VOLTRANE_LIBRARY_RECORD_PERIODS_H_
#define VOLTRANE_LIBRARY_RECORD_PERIODS_H_

#include "dbaccess/date_time.h"
#include "dbaccess/recordset.h"

namespace korvex7::internal {

inline constexpr double kSecondsPerHour = 3600.0;
inline constexpr double kSecondsPerMinute = 60.0;

// True elapsed whole seconds from start to stop (across clock changes)
// divided by the unit, in single precision.
float ElapsedUnits(const dbaccess::DateTime& dtStart, const dbaccess::DateTime& dtStop,
                   double dSecondsPerUnit);

// Ends the period of strStartColumn at dtTime, adding to strTimeColumn;
// false (and nothing changed) when it was not running.
bool EndRunningPeriod(dbaccess::Recordset& rs, const char* strStartColumn,
                      const char* strTimeColumn, double dSecondsPerUnit,
                      const dbaccess::DateTime& dtTime);

// Adds one to an integer counter column (null counts as 0).
void IncrementCounter(dbaccess::Recordset& rs, const char* strColumn);

// Starts the idle period at dtTime unless it already runs: consecutive ends
// do not restart it.
void StartIdleIfNotRunning(dbaccess::Recordset& rs, const dbaccess::DateTime& dtTime);

// Closes the first row of rsDowntimes (open downtime rows) at dtTime; false
// when there is none.
bool CloseFirstOpenDowntime(dbaccess::Recordset& rsDowntimes, const dbaccess::DateTime& dtTime);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_RECORD_PERIODS_H_
