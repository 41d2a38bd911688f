#include "reports/report_sql.h"

#include <fmt/format.h>

#include "dbaccess/dialect.h"

namespace reports {

namespace kinds = voltrane::dbkind;

namespace {

std::string WallHoursExpr(int32_t kind, const std::string& from, const std::string& to) {
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

// What one clock change adds to the wall-clock hours, as in
// dbaccess::ElapsedMilliseconds: a repeated hour counts twice when passed over
// (or when the stop reads earlier inside it), a skipped one not at all.
std::string CorrectionExpr(int32_t kind, const std::string& from, const std::string& to,
                           const dbaccess::ClockChange& change) {
  const std::string lo = voltrane::DateTimeLiteral(kind, change.from);
  const std::string hi = voltrane::DateTimeLiteral(kind, change.to);
  if (change.repeated) {
    const std::string length =
        fmt::format("{}", static_cast<double>(change.to.MillisecondsSinceEpoch() -
                                              change.from.MillisecondsSinceEpoch()) /
                              3600000.0);
    return "(case when " + from + " < " + lo + " and " + to + " >= " + hi + " then " + length +
           " when " + from + " >= " + lo + " and " + from + " < " + hi + " and " + to +
           " >= " + lo + " and " + to + " < " + from + " then " + length + " else 0 end)";
  }
  const std::string overlap =
      WallHoursExpr(kind, LaterExpr(kind, from, lo), EarlierExpr(kind, to, hi));
  return "(case when " + from + " < " + to + " and " + to + " > " + lo + " and " + from + " < " +
         hi + " then -" + overlap + " else 0 end)";
}

}  // namespace

ClockChanges ReportClockChanges(const dbaccess::DateTime& from, const dbaccess::DateTime& to) {
  // A record starts on its chart date or the evening before, and ends by the
  // midnight after its start.
  return dbaccess::ClockChangesBetween(from.DatePart().AddDays(-2), to.DatePart().AddDays(3));
}

std::string HoursBetweenExpr(int32_t kind, const std::string& from, const std::string& to,
                             const ClockChanges& changes) {
  const std::string wall = WallHoursExpr(kind, from, to);
  if (changes.empty()) return wall;
  std::string sum = "(" + wall;
  for (const dbaccess::ClockChange& change : changes) {
    sum += " + " + CorrectionExpr(kind, from, to, change);
  }
  return sum + ")";
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

std::string LaterExpr(int32_t kind, const std::string& a, const std::string& b) {
  switch (kind) {
    case kinds::kSqlite:
      return "max(" + a + ", " + b + ")";
    case kinds::kPostgreSql:
    case kinds::kOracle:
      return "greatest(" + a + ", " + b + ")";
    case kinds::kAccess:
      return "IIf(" + a + " > " + b + ", " + a + ", " + b + ")";
    default:
      return "(case when " + a + " > " + b + " then " + a + " else " + b + " end)";
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

std::string PositiveHoursExpr(int32_t kind, const std::string& from, const std::string& to,
                              const ClockChanges& changes) {
  const std::string hours = HoursBetweenExpr(kind, from, to, changes);
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
