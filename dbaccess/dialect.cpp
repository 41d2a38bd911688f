// The per-kind SQL fragments shared by the library object and the manager's
// query builder. See dialect.h. The single texts (the table hint, the
// database's time, the concatenation operator, the literal prefix) are read
// from the kind's Dialect row (sql_dialect.h), where each is defined once.
#include "dbaccess/dialect.h"

#include <fmt/format.h>

#include "dbaccess/sql_dialect.h"

namespace voltrane {

namespace {

using dbaccess::DateTime;

std::string DoubleApostrophes(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

// The canonical text keeps milliseconds, so SQLite text order stays time order.
std::string NewKindLiteral(int32_t kind, const DateTime& value) {
  if (kind == dbkind::kSqlite) return "'" + value.ToText() + "' ";
  return "CAST('" + value.ToText() + "' AS TIMESTAMP(3)) ";
}

}  // namespace

std::string DatePartText(const DateTime& value) {
  return fmt::format("{}/{}/{}", value.Month(), value.Day(), value.Year());
}

std::string TimePartText(const DateTime& value) {
  return fmt::format(" {:02}:{:02}:{:02}", value.Hour(), value.Minute(), value.Second());
}

std::string TimePartTextUnpadded(const DateTime& value) {
  return fmt::format(" {}:{}:{}", value.Hour(), value.Minute(), value.Second());
}

std::string NoLockHint(int32_t kind) { return DialectOf(kind).table_hint; }

std::string ConcatLiteral(int32_t kind, const std::string& text) {
  const std::string op = DialectOf(kind).concat_operator;
  if (op.empty()) return "";
  return op + " '" + text + "' " + op;
}

std::string UCase(int32_t kind, const std::string& expression) {
  if (kind == dbkind::kAccess) return "UCASE(" + expression + ")";
  if (kind < dbkind::kOracle || kind > dbkind::kPostgreSql) return "";
  return "UPPER(" + expression + ")";
}

std::string QuotedStr(int32_t kind, const std::string& text) {
  const std::string open = DialectOf(kind).text_literal_open;
  if (open.empty()) return "";
  return open + DoubleApostrophes(text) + "'";
}

std::string IIF(int32_t kind, const std::string& condition, const std::string& when_true,
                const std::string& when_false) {
  if (kind == dbkind::kAccess)
    return " IIF(" + condition + "," + when_true + "," + when_false + ")";
  if (kind < dbkind::kOracle || kind > dbkind::kPostgreSql) return "";
  return " CASE WHEN " + condition + " THEN " + when_true + " ELSE " + when_false + " END ";
}

std::string QBUpdate(int32_t kind, const std::string& table, const std::string& alias,
                     const std::string& join, const std::string& set, const std::string& where) {
  if (kind == dbkind::kAccess) {
    return "UPDATE " + table + " " + alias + " " + join + " " + set + " " + where;
  }
  if (kind < dbkind::kOracle || kind > dbkind::kPostgreSql) return "";
  return "UPDATE " + alias + " " + set + " from " + table + " " + alias + " " + join + " " + where;
}

std::string DateTimeLiteral(int32_t kind, const DateTime& value) {
  const std::string text = DatePartText(value) + TimePartText(value);
  switch (kind) {
    case dbkind::kOracle:
      return "TO_DATE('" + text + "', 'MM/DD/YYYY HH24:MI:SS') ";
    case dbkind::kAccess:
      return " #" + text + "# ";
    case dbkind::kSqlServer:
      return "CAST('" + text + "' AS DATETIME) ";
    case dbkind::kSqlite:
    case dbkind::kPostgreSql:
      return NewKindLiteral(kind, value);
    default:
      return "";
  }
}

std::string DateTimeCompare(int32_t kind, const std::string& a, const std::string& b,
                            const std::optional<DateTime>& value) {
  if (!value) return "";
  const std::string text = DatePartText(*value) + TimePartText(*value);
  switch (kind) {
    // Unlike the literal, Oracle's comparison has no trailing blank.
    case dbkind::kOracle:
      return a + b + "TO_DATE('" + text + "', 'MM/DD/YYYY HH24:MI:SS')";
    case dbkind::kAccess:
    case dbkind::kSqlServer:
    case dbkind::kSqlite:
    case dbkind::kPostgreSql:
      return a + b + DateTimeLiteral(kind, *value);
    default:
      return "";
  }
}

std::string CastToNumeric(int32_t kind, const std::string& expression) {
  switch (kind) {
    case dbkind::kOracle:
      return "TO_NUMBER(" + expression + ")";
    case dbkind::kAccess:
      return "CDbl(" + expression + ")";
    case dbkind::kSqlServer:
      return "Cast(" + expression + " as numeric(17,4))";
    case dbkind::kSqlite:
    case dbkind::kPostgreSql:
      return "CAST(" + expression + " AS NUMERIC)";
    default:
      return "";
  }
}

std::string AddDaysExpr(int32_t kind, const std::string& expression, int32_t days) {
  const std::string n = std::to_string(days);
  switch (kind) {
    case dbkind::kOracle:
      return " (" + expression + " + " + n + ")";
    case dbkind::kAccess:
      return " DateAdd('d', " + n + "," + expression + ")";
    case dbkind::kSqlServer:
      return " DateAdd(dd, " + n + "," + expression + ")";
    // strftime re-formats, so the result keeps the canonical text form.
    case dbkind::kSqlite:
      return " strftime('%Y-%m-%d %H:%M:%f', " + expression + ", '" + n + " days')";
    case dbkind::kPostgreSql:
      return " (" + expression + " + INTERVAL '" + n + " days')";
    default:
      return "";
  }
}

std::string ModExpr(int32_t kind, const std::string& a, const std::string& b) {
  switch (kind) {
    case dbkind::kOracle:
      return "MOD(" + a + "," + b + ")";
    case dbkind::kAccess:
      return a + " MOD " + b;
    case dbkind::kSqlServer:
    case dbkind::kSqlite:
    case dbkind::kPostgreSql:
      return a + " % " + b;
    default:
      return "";
  }
}

std::string GetTop(int32_t kind, int32_t count, const std::string& statement) {
  const std::string n = std::to_string(count);
  switch (kind) {
    case dbkind::kOracle:
      return "select * from (" + statement + ") Sel where ROWNUM <= " + n;
    case dbkind::kAccess:
      return "select top " + n + " * from (" + statement + ") Sel";
    case dbkind::kSqlServer:
      // Drops the leading "select".
      return "select top " + n + (statement.size() > 6 ? statement.substr(6) : std::string());
    // LIMIT applies after ORDER BY, so the order of the statement is kept.
    case dbkind::kSqlite:
    case dbkind::kPostgreSql:
      return statement + " LIMIT " + n;
    default:
      return "";
  }
}

std::string FromDualClause(int32_t kind) { return DialectOf(kind).from_dual; }

std::string SysDateExpr(int32_t kind) { return DialectOf(kind).current_time; }

}  // namespace voltrane
