// The SQL fragments only the service manager's query builder uses (escaping,
// date display and arithmetic, casts, null tests), as free functions keyed on
// the database kind. The fragments shared with the library are in dialect.h.
//
// The texts for Oracle, Access and SQL Server are fixed, blanks included; the
// SQLite and PostgreSQL texts mean the same on their engines, over the stored
// date-time forms of dialect.h. Any other kind gives "". Pure functions: no
// failure, safe from any thread.
#ifndef VOLTRANE_DBACCESS_QUERY_DIALECT_H_
#define VOLTRANE_DBACCESS_QUERY_DIALECT_H_

#include <cstdint>
#include <optional>
#include <string>

#include "dbaccess/date_time.h"

namespace voltrane {

// The statement that creates Oracle's "getlong" function, through which LONG
// columns are read (at most their first 4000 characters).
extern const char* const kGetLongFunctionStatement;

std::string EscStart(int32_t kind);
std::string EscEnd(int32_t kind);
std::string GlueConnector(int32_t kind);
// The hint a builder keeps from its creation: " with (NOLOCK) " on SQL Server.
std::string NoLockText(int32_t kind);
// Completes a constant SELECT ("select 0 as VAL" + FromDual).
std::string FromDual(int32_t kind);
// Name of the standard deviation aggregate. SQLite has none built in; the
// text is "STDDEV" there as on PostgreSQL, for a registered function.
std::string StdDev(int32_t kind);
std::string SysDate(int32_t kind);
std::string GetTopSingle(int32_t kind, const std::string& body, const std::string& from,
                         const std::string& where);
// The date of `value` at midnight.
std::string FormatDate(int32_t kind, const dbaccess::DateTime& value);
// column + op + FormatDate; "" for a null date.
std::string DateCompare(int32_t kind, const std::string& column, const std::string& op,
                        const std::optional<dbaccess::DateTime>& value);
std::string FormatDateTimeForQuery(int32_t kind, const dbaccess::DateTime& value);
// a - b in days, as a floating-point number.
std::string DateRangeAsFloat(int32_t kind, const std::string& a, const std::string& b);
std::string DateAsDateTimeStr(int32_t kind, const std::string& column, const std::string& alias);
// "MM/DD/YYYY" text of the column; alias "" adds nothing.
std::string DateDisplayFormat(int32_t kind, const std::string& column, const std::string& alias);
// A day count (from DateRangeAsFloat) as hours.
std::string ConvertDateToHours(int32_t kind, const std::string& formula);
std::string DayPart(int32_t kind, const std::string& expression);
// 1 = Sunday ... 7 = Saturday (text on Oracle).
std::string DayOfWeek(int32_t kind, const std::string& expression);
std::string MonthPart(int32_t kind, const std::string& expression);
std::string YearPart(int32_t kind, const std::string& expression);
std::string DayOfYear(int32_t kind, const std::string& expression);
// `date` moved by `number` units of `part` ("hh", "n", "dd", "mm", "yy").
// Months and years end on the last day of a shorter month, as on the
// original engines. Oracle, SQLite and PostgreSQL give "" for any other part.
std::string DateAdd(int32_t kind, const std::string& part, const std::string& number,
                    const std::string& date);
// Day of the week of 1 January of the year of `date`.
std::string FirstDayOfYear(int32_t kind, const std::string& date);
std::string CastToInt(int32_t kind, const std::string& expression);
std::string CastToStr(int32_t kind, const std::string& expression);
// The text of a long column; on Oracle through getlong, which the caller must
// have created (kGetLongFunctionStatement).
std::string LongColumnText(int32_t kind, const std::string& table, const std::string& column);
std::string TEXT_Convert(int32_t kind, const std::string& column);
std::string isNullTest(int32_t kind, const std::string& expression);
std::string isNullFunc(int32_t kind, const std::string& expression, const std::string& value);
std::string IsNumeric(int32_t kind, const std::string& expression);
std::string CrossJoin(int32_t kind);

}  // namespace voltrane

#endif  // VOLTRANE_DBACCESS_QUERY_DIALECT_H_
