// OEE: one grouped statement over the records, one over their downtime rows,
// merged per machine, chart date and shift; larger groups are sums of those.
#include "reports/oee.h"

#include <map>
#include <tuple>

#include "dbaccess/database_clock.h"
#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "reports/machine_directory.h"
#include "reports/report_sql.h"

namespace reports {

namespace {

using dbaccess::DateTime;
using dbaccess::Variant;

// The sums a group's ratios are computed from.
struct OeeSums {
  std::string machine_name;
  std::string shift_name;
  double scheduled_h = 0;
  double planned_h = 0;
  double unplanned_h = 0;
  double standard_minutes = 0;
  bool has_standard = false;
  int64_t good = 0;
  int64_t scrap = 0;

  void Add(const OeeSums& other) {
    scheduled_h += other.scheduled_h;
    planned_h += other.planned_h;
    unplanned_h += other.unplanned_h;
    standard_minutes += other.standard_minutes;
    has_standard = has_standard || other.has_standard;
    good += other.good;
    scrap += other.scrap;
  }
};

// Machine number, chart date (ms since epoch) and shift (-1 for none, sorted last).
using GroupKey = std::tuple<std::string, int64_t, int64_t>;

constexpr int64_t kNoShift = -1;
constexpr int64_t kNoShiftSortKey = INT64_MAX;

std::optional<double> Ratio(double numerator, double denominator) {
  if (denominator <= 0) return std::nullopt;
  return numerator / denominator;
}

OeeRow ToRow(const GroupKey& key, const OeeSums& sums, OeeGrouping grouping) {
  OeeRow row;
  row.machine = std::get<0>(key);
  row.machine_name = sums.machine_name;
  if (grouping != OeeGrouping::kMachine) {
    row.chart_date = DateTime::FromMillisecondsSinceEpoch(std::get<1>(key));
  }
  if (grouping == OeeGrouping::kShift && std::get<2>(key) != kNoShiftSortKey) {
    row.shift_id = std::get<2>(key);
    row.shift_name = sums.shift_name;
  }
  row.scheduled_h = sums.scheduled_h;
  row.planned_downtime_h = sums.planned_h;
  row.unplanned_downtime_h = sums.unplanned_h;
  const double run = sums.scheduled_h - sums.planned_h - sums.unplanned_h;
  row.run_h = run > 0 ? run : 0;
  row.good = sums.good;
  row.scrap = sums.scrap;
  row.availability = Ratio(row.run_h, sums.scheduled_h - sums.planned_h);
  if (sums.has_standard) row.performance = Ratio(sums.standard_minutes, row.run_h * 60);
  row.quality = Ratio(static_cast<double>(sums.good), static_cast<double>(sums.good + sums.scrap));
  if (row.availability && row.performance && row.quality) {
    row.oee = *row.availability * *row.performance * *row.quality;
  }
  return row;
}

// The machines and shift names of one report.
struct Directory {
  std::map<int64_t, MachineEntry> machines;
  std::map<int64_t, std::string> shifts;
};

// The group of the current row; false for a record of a machine that is not
// (or no longer) in T_SFC_MACHINE.
bool KeyOf(dbaccess::Recordset& rs, const Directory& directory, GroupKey& key, OeeSums& names) {
  const auto machine = directory.machines.find(rs.Fields("MACHINE_ID").Value().ToInt64());
  if (machine == directory.machines.end()) return false;
  const Variant& shift = rs.Fields("SHIFT_ID").Value();
  const bool has_shift = !shift.IsNull() && !shift.IsEmpty();
  key = {machine->second.number,
         rs.Fields("CHART_DATE").Value().ToDateTime().DatePart().MillisecondsSinceEpoch(),
         has_shift ? shift.ToInt64() : kNoShiftSortKey};
  names.machine_name = machine->second.name;
  if (has_shift) {
    const auto name = directory.shifts.find(shift.ToInt64());
    if (name != directory.shifts.end()) names.shift_name = name->second;
  }
  return true;
}

double NumberOrZero(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? 0.0 : value.ToDouble();
}

// "where" clause shared by both statements: the chart dates and machines.
std::string RecordSelection(int32_t kind, const OeeQuery& query, const Directory& directory) {
  return " where md.CHART_DATE >= " + voltrane::DateTimeLiteral(kind, query.from.DatePart()) +
         " and md.CHART_DATE < " + voltrane::DateTimeLiteral(kind, query.to.DatePart().AddDays(1)) +
         MachineIdFilter("md.MACHINE_ID", directory.machines, query.machines);
}

void ReadRecordSums(const dbaccess::ConnectionPtr& connection, int32_t kind, const OeeQuery& query,
                    const std::string& now, const Directory& directory,
                    std::map<GroupKey, OeeSums>& groups) {
  const std::string parts = "(coalesce(md.GOOD_COUNT, 0) + coalesce(md.SCRAPPED_COUNT, 0))";
  const std::string sql =
      "select md.MACHINE_ID, md.CHART_DATE, md.SHIFT_ID, "
      "sum(" +
      PositiveHoursExpr(kind, "md.START_TIME", RecordEndExpr(kind, "md", now),
                        ReportClockChanges(query.from, query.to)) +
      ") as SCHEDULED_H, "
      "sum(coalesce(md.GOOD_COUNT, 0)) as GOOD, sum(coalesce(md.SCRAPPED_COUNT, 0)) as SCRAP, "
      "sum(case when md.STANDARD_TIME > 0 then md.STANDARD_TIME * " +
      parts +
      " else 0 end) as STANDARD_MINUTES, "
      "max(case when md.STANDARD_TIME > 0 then 1 else 0 end) as HAS_STANDARD "
      "from T_SFC_MACHINE_DATA md " +
      voltrane::NoLockHint(kind) + RecordSelection(kind, query, directory) +
      " group by md.MACHINE_ID, md.CHART_DATE, md.SHIFT_ID";
  dbaccess::Recordset rs;
  rs.Open(sql, connection);
  for (; !rs.Eof(); rs.MoveNext()) {
    GroupKey key;
    OeeSums sums;
    if (!KeyOf(rs, directory, key, sums)) continue;
    sums.scheduled_h = NumberOrZero(rs.Fields("SCHEDULED_H").Value());
    sums.good = rs.Fields("GOOD").Value().ToInt64();
    sums.scrap = rs.Fields("SCRAP").Value().ToInt64();
    sums.standard_minutes = NumberOrZero(rs.Fields("STANDARD_MINUTES").Value());
    sums.has_standard = rs.Fields("HAS_STANDARD").Value().ToInt64() > 0;
    OeeSums& group = groups[key];
    group.Add(sums);
    group.machine_name = sums.machine_name;
    group.shift_name = sums.shift_name;
  }
}

void ReadDowntimeSums(const dbaccess::ConnectionPtr& connection, int32_t kind,
                      const OeeQuery& query, const std::string& now, const Directory& directory,
                      std::map<GroupKey, OeeSums>& groups) {
  // A row still open counts up to the end of its record, itself capped for
  // an open record.
  const std::string hours = "(case when dt.STOP_TIME is null then " +
                            PositiveHoursExpr(kind, "dt.START_TIME", RecordEndExpr(kind, "md", now),
                                              ReportClockChanges(query.from, query.to)) +
                            " else coalesce(dt.DURATION, 0) end)";
  const std::string sql =
      "select md.MACHINE_ID, md.CHART_DATE, md.SHIFT_ID, "
      "sum(case when dc.PLANNED = 1 then " +
      hours +
      " else 0 end) as PLANNED_H, "
      "sum(case when dc.PLANNED = 1 then 0 else " +
      hours +
      " end) as UNPLANNED_H "
      "from T_SFC_MACHINE_DATA md " +
      voltrane::NoLockHint(kind) + " inner join T_SFC_DT_PER_MACHINE_DATA dt " +
      voltrane::NoLockHint(kind) +
      " on dt.MACHINE_DATA_ID = md.MACHINE_DATA_ID"
      " left join T_SFC_DOWNTIME_CODE dc " +
      voltrane::NoLockHint(kind) + " on dc.DOWNTIME_CODE_ID = dt.DOWNTIME_CODE_ID" +
      RecordSelection(kind, query, directory) +
      " group by md.MACHINE_ID, md.CHART_DATE, md.SHIFT_ID";
  dbaccess::Recordset rs;
  rs.Open(sql, connection);
  for (; !rs.Eof(); rs.MoveNext()) {
    GroupKey key;
    OeeSums names;
    if (!KeyOf(rs, directory, key, names)) continue;
    OeeSums& group = groups[key];
    group.planned_h += NumberOrZero(rs.Fields("PLANNED_H").Value());
    group.unplanned_h += NumberOrZero(rs.Fields("UNPLANNED_H").Value());
  }
}

GroupKey Coarser(const GroupKey& key, OeeGrouping grouping) {
  if (grouping == OeeGrouping::kShift) return key;
  if (grouping == OeeGrouping::kDay) return {std::get<0>(key), std::get<1>(key), kNoShiftSortKey};
  return {std::get<0>(key), 0, kNoShiftSortKey};
}

}  // namespace

DateTime DatabaseNow(const dbaccess::ConnectionPtr& connection, int32_t kind) {
  const std::optional<DateTime> now = voltrane::GetDatabaseDateTime(kind, connection);
  if (!now)
    throw dbaccess::DbError(5,
                            "The database kind " + std::to_string(kind) + " has no clock query.");
  return *now;
}

std::vector<OeeRow> QueryOee(const dbaccess::ConnectionPtr& connection, int32_t kind,
                             const OeeQuery& query) {
  const DateTime now = query.now ? *query.now : DatabaseNow(connection, kind);
  const std::string now_literal = voltrane::DateTimeLiteral(kind, now);
  Directory directory;
  directory.machines = ReadMachines(connection, kind, query.machines);
  if (directory.machines.empty()) return {};
  directory.shifts = ReadShiftNames(connection, kind);
  std::map<GroupKey, OeeSums> by_shift;
  ReadRecordSums(connection, kind, query, now_literal, directory, by_shift);
  ReadDowntimeSums(connection, kind, query, now_literal, directory, by_shift);

  std::map<GroupKey, OeeSums> groups;
  for (const auto& [key, sums] : by_shift) {
    OeeSums& group = groups[Coarser(key, query.grouping)];
    group.Add(sums);
    if (!sums.machine_name.empty()) group.machine_name = sums.machine_name;
    if (!sums.shift_name.empty()) group.shift_name = sums.shift_name;
  }
  std::vector<OeeRow> rows;
  rows.reserve(groups.size());
  for (const auto& [key, sums] : groups) rows.push_back(ToRow(key, sums, query.grouping));
  return rows;
}

}  // namespace reports
