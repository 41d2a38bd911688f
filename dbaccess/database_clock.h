// Reading the database server's clock, so that every writer shares one time.
//
// Each kind has its own query: Oracle and SQL Server give one date-time
// column, Access a date and a time column, SQLite and PostgreSQL the local
// time of SysDateExpr() with milliseconds. Database errors (DbError) pass to
// the caller; an unknown kind gives nullopt or "". One thread at a time per
// connection.
#ifndef VOLTRANE_DBACCESS_DATABASE_CLOCK_H_
#define VOLTRANE_DBACCESS_DATABASE_CLOCK_H_

#include <cstdint>
#include <optional>
#include <string>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"

namespace voltrane {

// The query that reads the clock of `kind`; "" for an unknown kind.
std::string DatabaseDateTimeQuery(int32_t kind);

// The database's current date and time: whole seconds on the original kinds,
// milliseconds on SQLite and PostgreSQL.
std::optional<dbaccess::DateTime> GetDatabaseDateTime(int32_t kind,
                                                      const dbaccess::ConnectionPtr& connection);

// The same as canonical text ("YYYY-MM-DD HH:MM:SS.SSS"), the form every date
// column accepts back; "" for an unknown kind.
std::string GetDatabaseDateTimeText(int32_t kind, const dbaccess::ConnectionPtr& connection);

}  // namespace voltrane

#endif  // VOLTRANE_DBACCESS_DATABASE_CLOCK_H_
