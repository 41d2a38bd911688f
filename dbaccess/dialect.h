// The SQL fragments that differ between database kinds, as free functions
// keyed on the kind (0 Oracle, 1 Access, 2 SQL Server, 3 SQLite, 4 PostgreSQL).
//
// All SQL of the system is text built by concatenation; these functions give
// the pieces that differ. Texts for the three original kinds are fixed, blanks
// included, because callers splice them without adding any. The SQLite and
// PostgreSQL texts mean on their engine what the Oracle or SQL Server text
// means on its own, in the stored date-time forms of those engines (SQLite:
// text "YYYY-MM-DD HH:MM:SS.SSS"; PostgreSQL: TIMESTAMP(3)), so a statement
// built from them runs unchanged on both. For any other kind every function
// returns "". Pure functions: no failure, safe from any thread.
#ifndef VOLTRANE_DBACCESS_DIALECT_H_
#define VOLTRANE_DBACCESS_DIALECT_H_

#include <cstdint>
#include <optional>
#include <string>

#include "dbaccess/database_kind.h"
#include "dbaccess/date_time.h"

namespace voltrane {

// Date texts of the original kinds' literals: "3/7/2024", " 07:05:09", " 7:5:9".
std::string DatePartText(const dbaccess::DateTime& value);
std::string TimePartText(const dbaccess::DateTime& value);
std::string TimePartTextUnpadded(const dbaccess::DateTime& value);

// Table hint after a table name and alias in reads.
std::string NoLockHint(int32_t kind);
// Operator, quoted text, operator; `text` is not quote-doubled.
std::string ConcatLiteral(int32_t kind, const std::string& text);
std::string UCase(int32_t kind, const std::string& expression);
// Text literal with every apostrophe doubled.
std::string QuotedStr(int32_t kind, const std::string& text);
std::string IIF(int32_t kind, const std::string& condition, const std::string& when_true,
                const std::string& when_false);
// The joined-update form of SQL Server and Access. Oracle, SQLite and
// PostgreSQL callers build a correlated subquery instead and never use it.
std::string QBUpdate(int32_t kind, const std::string& table, const std::string& alias,
                     const std::string& join, const std::string& set, const std::string& where);
std::string DateTimeLiteral(int32_t kind, const dbaccess::DateTime& value);
// a + b + literal; "" (a and b dropped too) for a null date.
std::string DateTimeCompare(int32_t kind, const std::string& a, const std::string& b,
                            const std::optional<dbaccess::DateTime>& value);
std::string CastToNumeric(int32_t kind, const std::string& expression);
// The date-time `expression` moved by `days` whole days.
std::string AddDaysExpr(int32_t kind, const std::string& expression, int32_t days);
std::string ModExpr(int32_t kind, const std::string& a, const std::string& b);
// The first `count` rows of `statement`, which begins with "select".
std::string GetTop(int32_t kind, int32_t count, const std::string& statement);
// Completes "select " + SysDateExpr() into a statement.
std::string FromDualClause(int32_t kind);
// The database's current local time (with milliseconds on SQLite and PostgreSQL).
std::string SysDateExpr(int32_t kind);

}  // namespace voltrane

#endif  // VOLTRANE_DBACCESS_DIALECT_H_
