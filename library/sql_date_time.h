// FormatSQLDateTime: a date-time as "yyyy-mm-dd HH:mm:ss.000", the form the
// library traces times in and writes into the SQL Server stop-time
// statement. Pure function; thread-safe.
#ifndef VOLTRANE_LIBRARY_SQL_DATE_TIME_H_
#define VOLTRANE_LIBRARY_SQL_DATE_TIME_H_

#include <string>

#include "dbaccess/date_time.h"

std::string FormatSQLDateTime(const dbaccess::DateTime& dtValue);

#endif  // VOLTRANE_LIBRARY_SQL_DATE_TIME_H_
