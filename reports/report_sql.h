// The expressions the reports build on the dialect (dbaccess/sql_dialect.h):
// the hours between two date-times across clock changes, the earliest and
// latest of date-times, the midnight after a date-time, when a record ends,
// and machine-number filters. SQLite and PostgreSQL are the kinds that run
// here; the dialect's texts for SQL Server, Oracle and Access let the same
// reports be read there. Pure functions; thread-safe.
#ifndef VOLTRANE_REPORTS_REPORT_SQL_H_
#define VOLTRANE_REPORTS_REPORT_SQL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "dbaccess/date_time.h"
#include "dbaccess/elapsed_time.h"

namespace reports {

using ClockChanges = std::vector<dbaccess::ClockChange>;

// The local clock changes that records of the chart dates [from, to] can meet.
ClockChanges ReportClockChanges(const dbaccess::DateTime& from, const dbaccess::DateTime& to);

// Hours from `from` to `to` (date-time expressions) as a floating number:
// the true elapsed time across `changes`, by the rule of
// dbaccess::ElapsedMilliseconds; without changes the plain difference.
std::string HoursBetweenExpr(int32_t kind, const std::string& from, const std::string& to,
                             const ClockChanges& changes = {});
// The earliest of two date-time expressions; neither may be null.
std::string EarlierExpr(int32_t kind, const std::string& a, const std::string& b);
// The latest of two date-time expressions; neither may be null.
std::string LaterExpr(int32_t kind, const std::string& a, const std::string& b);
// Midnight at the end of the day of `expression`.
std::string NextMidnightExpr(int32_t kind, const std::string& expression);
// When the record `alias` of T_SFC_MACHINE_DATA ends: its STOP_TIME, or for
// an open record `now` (a date-time literal) but not past its SHIFT_END nor
// the midnight after its START_TIME, where the collector will close it.
std::string RecordEndExpr(int32_t kind, const std::string& alias, const std::string& now);
// The hours from `from` to `to`, 0 when `to` is earlier.
std::string PositiveHoursExpr(int32_t kind, const std::string& from, const std::string& to,
                              const ClockChanges& changes = {});
// " and <column> in ('101', '102')", or "" for no machines (all of them).
std::string MachineFilter(int32_t kind, const std::string& column,
                          const std::vector<std::string>& machines);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_REPORT_SQL_H_
