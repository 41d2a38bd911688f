// FormatSQLDateTime: a date-time as "yyyy-mm-dd HH:mm:ss.000", the form the
// library traces times in and writes into the SQL Server stop-time
// statement. QuotedInsertDateTime: "'mm/dd/yyyy HH:mm:ss'", the literal of
// the SQL Server inserts that return their identity (their batch sets the
// month-first date format). Pure functions; thread-safe.
#ifndef VOLTRANE_LIBRARY_SQL_DATE_TIME_H_
#define VOLTRANE_LIBRARY_SQL_DATE_TIME_H_

#include <string>

#include "dbaccess/date_time.h"

namespace korvex7::internal {

std::string FormatSQLDateTime(const dbaccess::DateTime& dtValue);
std::string QuotedInsertDateTime(const dbaccess::DateTime& dtValue);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_SQL_DATE_TIME_H_
