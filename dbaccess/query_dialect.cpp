// The manager-only SQL fragments per database kind. See query_dialect.h.
#include "dbaccess/query_dialect.h"

#include "dbaccess/dialect.h"
#include "dbaccess/sql_dialect.h"

namespace voltrane {

namespace {

using dbaccess::DateTime;

// The text for `kind` among the five; "" for any other kind.
std::string Pick(int32_t kind, std::string oracle, std::string access, std::string sql_server,
                 std::string sqlite, std::string postgresql) {
  switch (kind) {
    case dbkind::kOracle:
      return oracle;
    case dbkind::kAccess:
      return access;
    case dbkind::kSqlServer:
      return sql_server;
    case dbkind::kSqlite:
      return sqlite;
    case dbkind::kPostgreSql:
      return postgresql;
    default:
      return "";
  }
}

const char* const kSqliteDateTimeFormat = "'%Y-%m-%d %H:%M:%f'";

// A field of a date-time as an integer, on SQLite (strftime) and PostgreSQL (EXTRACT).
std::string SqlitePart(const char* format, const std::string& expression) {
  return std::string("CAST(strftime('") + format + "', " + expression + ") AS INTEGER)";
}

std::string PostgresPart(const char* field, const std::string& expression) {
  return std::string("CAST(EXTRACT(") + field + " FROM " + expression + ") AS INTEGER)";
}

std::string OracleDateAdd(const std::string& part, const std::string& number,
                          const std::string& date) {
  if (part == "hh") return date + " + " + number + "/24";
  if (part == "n") return date + " + (" + number + "/24)/60";
  if (part == "dd") return date + " + " + number;
  if (part == "yy") return "Add_Months(" + date + "," + number + "*12)";
  if (part == "mm") return "Add_Months(" + date + "," + number + ")";
  return "";
}

// SQLite's month modifier rolls an overflowing day into the next month
// (31 January + 1 month = 2 or 3 March); the other engines end on the last
// day of the month, which the second branch rebuilds.
std::string SqliteAddMonths(const std::string& months, const std::string& date) {
  const std::string modifier = "(" + months + ") || ' months'";
  return "(CASE WHEN strftime('%d', " + date + ", " + modifier + ") = strftime('%d', " + date +
         ") THEN strftime(" + kSqliteDateTimeFormat + ", " + date + ", " + modifier +
         ") ELSE strftime('%Y-%m-%d', " + date + ", 'start of month', " + modifier +
         ", '+1 months', '-1 day') || strftime(' %H:%M:%f', " + date + ") END)";
}

std::string SqliteDateAdd(const std::string& part, const std::string& number,
                          const std::string& date) {
  const auto shift = [&](const char* unit) {
    return std::string("strftime(") + kSqliteDateTimeFormat + ", " + date + ", (" + number +
           ") || ' " + unit + "')";
  };
  if (part == "hh") return shift("hours");
  if (part == "n") return shift("minutes");
  if (part == "dd") return shift("days");
  if (part == "yy") return SqliteAddMonths("(" + number + ")*12", date);
  if (part == "mm") return SqliteAddMonths(number, date);
  return "";
}

std::string PostgresDateAdd(const std::string& part, const std::string& number,
                            const std::string& date) {
  const auto shift = [&](const char* unit) {
    return "(" + date + " + (" + number + ") * INTERVAL '1 " + unit + "')";
  };
  if (part == "hh") return shift("hour");
  if (part == "n") return shift("minute");
  if (part == "dd") return shift("day");
  if (part == "yy") return shift("year");
  if (part == "mm") return shift("month");
  return "";
}

}  // namespace

const char* const kGetLongFunctionStatement =
    "create or replace function"
    " getlong( p_tname in varchar2, p_cname in varchar2, p_rowid in rowid ) return nvarchar2"
    " as"
    " l_cursor integer default dbms_sql.open_cursor;"
    " l_n number;"
    " l_long_val varchar2(4000);"
    " l_long_len number;"
    " l_buflen number := 4000;"
    " l_curpos number := 0;"
    " begin"
    " dbms_sql.parse( l_cursor,"
    " 'select ' || p_cname || ' from ' || p_tname ||' where rowid = :x',"
    " dbms_sql.native );"
    " dbms_sql.bind_variable( l_cursor, ':x', p_rowid );"
    " dbms_sql.define_column_long(l_cursor, 1);"
    " l_n := dbms_sql.execute(l_cursor);"
    " if (dbms_sql.fetch_rows(l_cursor)>0)"
    " then"
    " dbms_sql.column_value_long(l_cursor, 1, l_buflen, l_curpos ,"
    " l_long_val, l_long_len );"
    " end if;"
    " dbms_sql.close_cursor(l_cursor);"
    " return l_long_val;"
    " end getlong;";

std::string EscStart(int32_t kind) { return Pick(kind, "\"", "[", "[", "\"", "\""); }

std::string EscEnd(int32_t kind) { return Pick(kind, "\"", "]", "]", "\"", "\""); }

std::string GlueConnector(int32_t kind) { return DialectOf(kind).concat_operator; }

std::string NoLockText(int32_t kind) { return DialectOf(kind).SpacedTableHint(); }

std::string FromDual(int32_t kind) {
  return Pick(kind, " from DUAL ",
              " FROM (SELECT COUNT(*) FROM T_SFC_DB_ITEM WHERE 1 <> 1) AS Dummy ", " ", " ", " ");
}

std::string StdDev(int32_t kind) {
  return Pick(kind, "STDDEV", "STDEV", "STDEV", "STDDEV", "STDDEV");
}

std::string SysDate(int32_t kind) { return DialectOf(kind).CurrentTimeOperand(); }

std::string GetTopSingle(int32_t kind, const std::string& body, const std::string& from,
                         const std::string& where) {
  const std::string limited = "(select " + body + " from " + from + " where " + where + " LIMIT 1)";
  return Pick(kind, "(select " + body + " from " + from + " where ROWNUM <= 1 " + where + ")",
              "(select distinct top 1 " + body + " from " + from + " where " + where + ")",
              "(select top 1 " + body + " from " + from + " where " + where + ")", limited,
              limited);
}

std::string FormatDate(int32_t kind, const DateTime& value) {
  const std::string d = DatePartText(value);
  return Pick(kind, "TO_DATE('" + d + "', 'MM/DD/YYYY')", " #" + d + "# ",
              "CAST('" + d + "' AS DATETIME) ", DateTimeLiteral(kind, value.DatePart()),
              DateTimeLiteral(kind, value.DatePart()));
}

std::string DateCompare(int32_t kind, const std::string& column, const std::string& op,
                        const std::optional<DateTime>& value) {
  if (!value) return "";
  const std::string date = FormatDate(kind, *value);
  return date.empty() ? "" : column + op + date;
}

std::string FormatDateTimeForQuery(int32_t kind, const DateTime& value) {
  const std::string text = DatePartText(value) + TimePartTextUnpadded(value);
  return Pick(kind, "TO_DATE('" + text + "', 'MM/DD/YYYY HH24:MI:SS') ", " #" + text + "# ",
              "CAST('" + text + "' AS DATETIME) ", DateTimeLiteral(kind, value),
              DateTimeLiteral(kind, value));
}

std::string DateRangeAsFloat(int32_t kind, const std::string& a, const std::string& b) {
  return Pick(kind, "TO_NUMBER(" + a + "-" + b + ")", "(" + a + "-" + b + ")",
              "convert(float, " + a + "-" + b + ")", "(julianday(" + a + ")-julianday(" + b + "))",
              "(CAST(EXTRACT(EPOCH FROM (" + a + ")-(" + b + ")) AS DOUBLE PRECISION)/86400)");
}

std::string DateAsDateTimeStr(int32_t kind, const std::string& column, const std::string& alias) {
  return Pick(kind, "TO_NCHAR(" + column + ")" + " as " + alias,
              "Format(" + column + ", \"General Date\") As " + alias,
              "(CONVERT(CHAR(11)," + column + ",111) + SUBSTRING(CONVERT(CHAR(19)," + column +
                  ",100),13,19)) as " + alias,
              "strftime('%Y-%m-%d %H:%M:%S', " + column + ") as " + alias,
              "TO_CHAR(" + column + ", 'YYYY-MM-DD HH24:MI:SS') as " + alias);
}

std::string DateDisplayFormat(int32_t kind, const std::string& column, const std::string& alias) {
  const std::string a = alias.empty() ? "" : " AS " + alias;
  return Pick(kind, "TO_CHAR(" + column + ", 'MM/DD/YYYY')" + a,
              "Format([" + column + "], \"mm/dd/yyyy\")" + a,
              "CONVERT(VARCHAR(10), " + column + ", 101)" + a,
              "strftime('%m/%d/%Y', " + column + ")" + a,
              "TO_CHAR(" + column + ", 'MM/DD/YYYY')" + a);
}

std::string ConvertDateToHours(int32_t kind, const std::string& formula) {
  const std::string plain = "(" + formula + ")*24";
  return Pick(kind, plain, plain, "Convert(float," + formula + ")*24", plain, plain);
}

std::string DayPart(int32_t kind, const std::string& x) {
  return Pick(kind, "TO_NCHAR(" + x + ", 'dd')", "Day(" + x + ")", "Day(" + x + ")",
              SqlitePart("%d", x), PostgresPart("DAY", x));
}

std::string DayOfWeek(int32_t kind, const std::string& x) {
  // strftime('%w') and DOW count Sunday as 0.
  return Pick(kind, "TO_NCHAR(" + x + ", 'd')", "DatePart('w', " + x + ")",
              "DatePart(dw, " + x + ")", "(" + SqlitePart("%w", x) + " + 1)",
              "(" + PostgresPart("DOW", x) + " + 1)");
}

std::string MonthPart(int32_t kind, const std::string& x) {
  return Pick(kind, "TO_NCHAR(" + x + ", 'MM')", "MONTH(" + x + ")", "MONTH(" + x + ")",
              SqlitePart("%m", x), PostgresPart("MONTH", x));
}

std::string YearPart(int32_t kind, const std::string& x) {
  return Pick(kind, "TO_NCHAR(" + x + ", 'YYYY')", "YEAR(" + x + ")", "YEAR(" + x + ")",
              SqlitePart("%Y", x), PostgresPart("YEAR", x));
}

std::string DayOfYear(int32_t kind, const std::string& x) {
  return Pick(kind, "TO_NCHAR(" + x + ", 'ddd')", "DatePart('y', " + x + ")",
              "DatePart(dy, " + x + ")", SqlitePart("%j", x), PostgresPart("DOY", x));
}

std::string DateAdd(int32_t kind, const std::string& part, const std::string& number,
                    const std::string& date) {
  switch (kind) {
    case dbkind::kOracle:
      return OracleDateAdd(part, number, date);
    case dbkind::kAccess:
    case dbkind::kSqlServer:
      return "DateAdd(\"" + part + "\"," + number + "," + date + ")";
    case dbkind::kSqlite:
      return SqliteDateAdd(part, number, date);
    case dbkind::kPostgreSql:
      return PostgresDateAdd(part, number, date);
    default:
      return "";
  }
}

std::string FirstDayOfYear(int32_t kind, const std::string& date) {
  switch (kind) {
    case dbkind::kOracle:
      return DayOfWeek(kind, "TO_DATE('1/1/' || " + YearPart(kind, date) + ",'MM/DD/YYYY')");
    case dbkind::kAccess:
      return DayOfWeek(kind, "'1/1/' + CStr(" + YearPart(kind, date) + ")");
    case dbkind::kSqlServer:
      return DayOfWeek(kind, "'1/1/' + CAST(" + YearPart(kind, date) + " AS VARCHAR) ");
    case dbkind::kSqlite:
      return DayOfWeek(kind, "strftime('%Y-01-01', " + date + ")");
    case dbkind::kPostgreSql:
      return DayOfWeek(kind, "DATE_TRUNC('year', " + date + ")");
    default:
      return "";
  }
}

std::string CastToInt(int32_t kind, const std::string& x) {
  // Toward zero, as SQL Server's cast; PostgreSQL's cast alone would round.
  return Pick(kind, "FLOOR(" + x + ")", "Int(" + x + ")", "Cast(" + x + " as int)",
              "CAST(" + x + " AS INTEGER)", "CAST(TRUNC(" + x + ") AS INTEGER)");
}

std::string CastToStr(int32_t kind, const std::string& x) {
  return Pick(kind, "UNISTR(REPLACE(" + x + ",'\\','\\\\'))", x, "Cast(" + x + " as nvarchar(256))",
              "CAST(" + x + " AS TEXT)", "CAST(" + x + " AS VARCHAR(256))");
}

std::string LongColumnText(int32_t kind, const std::string& table, const std::string& column) {
  if (kind == dbkind::kOracle) {
    return CastToStr(kind, "getlong('" + table + "','" + column + "', rowid)");
  }
  return CastToStr(kind, column);
}

std::string TEXT_Convert(int32_t kind, const std::string& column) {
  return Pick(kind, column, column, "CONVERT(NVARCHAR(MAX), " + column + ") as " + column, column,
              column);
}

std::string isNullTest(int32_t kind, const std::string& x) {
  const std::string standard = " " + x + " IS NULL ";
  return Pick(kind, standard, " isNull(" + x + ") ", standard, standard, standard);
}

std::string isNullFunc(int32_t kind, const std::string& x, const std::string& value) {
  const std::string coalesce = "COALESCE(" + x + "," + value + ")";
  return Pick(kind, "NVL(" + x + "," + value + ")",
              " IIF(" + x + " is NULL," + value + "," + x + ")", "IsNull(" + x + "," + value + ")",
              coalesce, coalesce);
}

std::string IsNumeric(int32_t kind, const std::string& x) {
  // SQLite has no regular expressions: a text that is a whole number converts
  // under the comparison's numeric affinity and equals its own cast; "12abc",
  // "" and "1.2.3" stay text and do not.
  return Pick(kind, "REGEXP_LIKE(" + x + R"(, '^[+-]?\d*\.?\d+([eE][+-]?\d+)?$'))",
              "ISNUMERIC(" + x + ") = 1", "ISNUMERIC(" + x + ") = 1",
              "(CAST(" + x + " AS NUMERIC) = " + x + ")",
              "(CAST(" + x + R"( AS TEXT) ~ '^[+-]?[0-9]*\.?[0-9]+([eE][+-]?[0-9]+)?$'))");
}

std::string CrossJoin(int32_t kind) {
  return Pick(kind, "cross join", ",", "cross join", "cross join", "cross join");
}

}  // namespace voltrane
