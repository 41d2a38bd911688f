#include "reports/downtime_pareto.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "reports/machine_directory.h"
#include "reports/oee.h"
#include "reports/report_sql.h"
#include "reports/text_table.h"

namespace reports {

namespace {

using dbaccess::Variant;

std::string Text(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

double Measure(const DowntimeParetoRow& row, ParetoOrder order) {
  return order == ParetoOrder::kHours ? row.hours : static_cast<double>(row.count);
}

void FillShares(std::vector<DowntimeParetoRow>& rows, ParetoOrder order) {
  for (const bool planned : {false, true}) {
    double hours = 0;
    double count = 0;
    double measure = 0;
    for (const auto& row : rows) {
      if (row.planned != planned) continue;
      hours += row.hours;
      count += static_cast<double>(row.count);
      measure += Measure(row, order);
    }
    double running = 0;
    for (auto& row : rows) {
      if (row.planned != planned) continue;
      row.hours_share = hours > 0 ? row.hours / hours : 0;
      row.count_share = count > 0 ? static_cast<double>(row.count) / count : 0;
      running += Measure(row, order);
      row.cumulative_share = measure > 0 ? running / measure : 0;
    }
  }
}

// 1 when the downtime row `dt` of record `md` begins a downtime, 0 when it
// continues one that the machine's previous record ended at that moment (a
// record split). Only rows at their record's start need the look back, an
// index seek for the previous record and one for its downtime rows.
std::string BeginsHere(const std::string& hint) {
  return "case when dt.START_TIME > md.START_TIME then 1 when exists (select 1 from "
         "T_SFC_MACHINE_DATA pm " +
         hint + " inner join T_SFC_DT_PER_MACHINE_DATA pd " + hint +
         " on pd.MACHINE_DATA_ID = pm.MACHINE_DATA_ID where pm.MACHINE_ID = md.MACHINE_ID and "
         "pm.START_TIME = (select max(x.START_TIME) from T_SFC_MACHINE_DATA x " +
         hint +
         " where x.MACHINE_ID = md.MACHINE_ID and x.START_TIME < md.START_TIME) and "
         "pd.STOP_TIME = dt.START_TIME and pd.DOWNTIME_TYPE_CODE = dt.DOWNTIME_TYPE_CODE) "
         "then 0 else 1 end";
}

}  // namespace

std::vector<DowntimeParetoRow> QueryDowntimePareto(const dbaccess::ConnectionPtr& connection,
                                                   int32_t kind, const DowntimeParetoQuery& query) {
  const dbaccess::DateTime now = query.now ? *query.now : DatabaseNow(connection, kind);
  const std::map<int64_t, MachineEntry> machines = ReadMachines(connection, kind, query.machines);
  if (machines.empty()) return {};
  const std::string hint = voltrane::NoLockHint(kind);
  const std::string hours =
      "(case when dt.STOP_TIME is null then " +
      PositiveHoursExpr(kind, "dt.START_TIME",
                        RecordEndExpr(kind, "md", voltrane::DateTimeLiteral(kind, now)),
                        ReportClockChanges(query.from, query.to)) +
      " else coalesce(dt.DURATION, 0) end)";
  const std::string planned = "(case when dc.PLANNED = 1 then 1 else 0 end)";
  const std::string code = "coalesce(dc.DOWNTIME_CODE_NUMBER, dt.DT_NUMBER, '')";
  const std::string user = "(case when dt.DOWNTIME_TYPE_CODE = 1 then 1 else 0 end)";
  const std::string sql =
      "select " + planned + " as PLANNED, " + user + " as IS_USER, " + code +
      " as CODE, max(dc.DOWNTIME_CODE_NAME) as NAME, sum(" + hours + ") as HOURS, sum(" +
      BeginsHere(hint) +
      ") as N "
      "from T_SFC_MACHINE_DATA md " +
      hint + " inner join T_SFC_DT_PER_MACHINE_DATA dt " + hint +
      " on dt.MACHINE_DATA_ID = md.MACHINE_DATA_ID left join T_SFC_DOWNTIME_CODE dc " + hint +
      " on dc.DOWNTIME_CODE_ID = dt.DOWNTIME_CODE_ID where md.CHART_DATE >= " +
      voltrane::DateTimeLiteral(kind, query.from.DatePart()) + " and md.CHART_DATE < " +
      voltrane::DateTimeLiteral(kind, query.to.DatePart().AddDays(1)) +
      MachineIdFilter("md.MACHINE_ID", machines, query.machines) + " group by " + planned + ", " +
      user + ", " + code;
  dbaccess::Recordset rs;
  rs.Open(sql, connection);
  std::vector<DowntimeParetoRow> rows;
  for (; !rs.Eof(); rs.MoveNext()) {
    DowntimeParetoRow row;
    row.planned = rs.Fields("PLANNED").Value().ToInt64() == 1;
    row.user = rs.Fields("IS_USER").Value().ToInt64() == 1;
    row.code = Text(rs.Fields("CODE").Value());
    row.name = Text(rs.Fields("NAME").Value());
    const Variant& sum = rs.Fields("HOURS").Value();
    row.hours = sum.IsNull() || sum.IsEmpty() ? 0 : sum.ToDouble();
    row.count = rs.Fields("N").Value().ToInt64();
    rows.push_back(std::move(row));
  }
  const ParetoOrder order = query.order;
  std::sort(rows.begin(), rows.end(), [order](const auto& a, const auto& b) {
    if (a.planned != b.planned) return !a.planned;
    const ParetoOrder other =
        order == ParetoOrder::kHours ? ParetoOrder::kCount : ParetoOrder::kHours;
    if (Measure(a, order) != Measure(b, order)) return Measure(a, order) > Measure(b, order);
    if (Measure(a, other) != Measure(b, other)) return Measure(a, other) > Measure(b, other);
    if (a.code != b.code) return a.code < b.code;
    return a.user < b.user;
  });
  FillShares(rows, order);
  return rows;
}

void WriteParetoCsv(std::ostream& out, const std::vector<DowntimeParetoRow>& rows) {
  WriteCsvLine(out, {"planned", "type", "code", "name", "hours", "count", "hours_share",
                     "count_share", "cumulative_share"});
  for (const auto& row : rows) {
    WriteCsvLine(out, {row.planned ? "1" : "0", row.user ? "user" : "machine", row.code, row.name,
                       Fixed(row.hours, 3), std::to_string(row.count), Fixed(row.hours_share, 4),
                       Fixed(row.count_share, 4), Fixed(row.cumulative_share, 4)});
  }
}

void WriteParetoJson(std::ostream& out, const std::vector<DowntimeParetoRow>& rows) {
  nlohmann::json array = nlohmann::json::array();
  for (const auto& row : rows) {
    array.push_back({{"planned", row.planned},
                     {"type", row.user ? "user" : "machine"},
                     {"code", row.code},
                     {"name", row.name},
                     {"hours", Rounded(row.hours, 3)},
                     {"count", row.count},
                     {"hours_share", Rounded(row.hours_share, 4)},
                     {"count_share", Rounded(row.count_share, 4)},
                     {"cumulative_share", Rounded(row.cumulative_share, 4)}});
  }
  out << array.dump(2) << "\n";
}

void WriteParetoTable(std::ostream& out, const std::vector<DowntimeParetoRow>& rows) {
  std::vector<std::vector<std::string>> cells;
  for (const auto& row : rows) {
    cells.push_back({row.planned ? "planned" : "unplanned", row.user ? "user" : "machine",
                     row.code.empty() ? "(none)" : row.code, row.name, Fixed(row.hours, 2),
                     std::to_string(row.count), Percent(row.hours_share), Percent(row.count_share),
                     Percent(row.cumulative_share)});
  }
  WriteTextTable(out,
                 {"kind", "type", "code", "name", "hours", "count", "% hours", "% count", "cum %"},
                 cells, {0, 1, 2, 3});
}

}  // namespace reports
