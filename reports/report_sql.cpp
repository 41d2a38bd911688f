#include "reports/report_sql.h"

#include "dbaccess/dialect.h"

namespace reports {

namespace kinds = voltrane::dbkind;

std::string HoursBetweenExpr(int32_t kind, const std::string& from, const std::string& to) {
  switch (kind) {
    case kinds::kSqlite:
      // Whole milliseconds first: julianday's fraction of a day is not exact.
      return "(round((julianday(" + to + ") - julianday(" + from + ")) * 86400000.0) / 3600000.0)";
    case kinds::kPostgreSql:
      return "(extract(epoch from (" + to + " - " + from + ")) / 3600.0)";
    case kinds::kSqlServer:
      return "(DATEDIFF(second, " + from + ", " + to + ") / 3600.0)";
    case kinds::kOracle:
      return "((" + to + " - " + from + ") * 24)";
    case kinds::kAccess:
      return "(DateDiff('s', " + from + ", " + to + ") / 3600)";
    default:
      return "";
  }
}

std::string EarlierExpr(int32_t kind, const std::string& a, const std::string& b) {
  switch (kind) {
    case kinds::kSqlite:  // canonical text: text order is time order
      return "min(" + a + ", " + b + ")";
    case kinds::kPostgreSql:
    case kinds::kOracle:
      return "least(" + a + ", " + b + ")";
    case kinds::kAccess:
      return "IIf(" + a + " < " + b + ", " + a + ", " + b + ")";
    default:
      return "(case when " + a + " < " + b + " then " + a + " else " + b + " end)";
  }
}

std::string NextMidnightExpr(int32_t kind, const std::string& expression) {
  switch (kind) {
    case kinds::kSqlite:
      return "strftime('%Y-%m-%d 00:00:00.000', " + expression + ", '+1 day')";
    case kinds::kPostgreSql:
      return "(date_trunc('day', " + expression + ") + interval '1 day')";
    case kinds::kSqlServer:
      return "DATEADD(day, 1, CAST(CAST(" + expression + " AS DATE) AS DATETIME))";
    case kinds::kOracle:
      return "(TRUNC(" + expression + ") + 1)";
    case kinds::kAccess:
      return "DateAdd('d', 1, DateValue(" + expression + "))";
    default:
      return "";
  }
}

std::string RecordEndExpr(int32_t kind, const std::string& alias, const std::string& now) {
  const std::string cap = EarlierExpr(kind, "coalesce(" + alias + ".SHIFT_END, " + now + ")",
                                      NextMidnightExpr(kind, alias + ".START_TIME"));
  return "coalesce(" + alias + ".STOP_TIME, " + EarlierExpr(kind, now, cap) + ")";
}

std::string PositiveHoursExpr(int32_t kind, const std::string& from, const std::string& to) {
  const std::string hours = HoursBetweenExpr(kind, from, to);
  return "(case when " + hours + " > 0 then " + hours + " else 0 end)";
}

std::string MachineFilter(int32_t kind, const std::string& column,
                          const std::vector<std::string>& machines) {
  if (machines.empty()) return "";
  std::string list;
  for (const std::string& machine : machines) {
    if (!list.empty()) list += ", ";
    list += voltrane::QuotedStr(kind, machine);
  }
  return " and " + column + " in (" + list + ")";
}

}  // namespace reports
