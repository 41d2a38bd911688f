#include "reports/report_sql.h"

#include <fmt/format.h>

#include "dbaccess/dialect.h"
#include "dbaccess/sql_dialect.h"

namespace reports {

namespace {

std::string WallHoursExpr(int32_t kind, const std::string& from, const std::string& to) {
  return voltrane::DialectOf(kind).WallHours(from, to);
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
  return voltrane::DialectOf(kind).Earlier(a, b);
}

std::string LaterExpr(int32_t kind, const std::string& a, const std::string& b) {
  return voltrane::DialectOf(kind).Later(a, b);
}

std::string NextMidnightExpr(int32_t kind, const std::string& expression) {
  return voltrane::DialectOf(kind).NextMidnight(expression);
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
