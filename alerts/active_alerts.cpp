// The statements behind each rule kind.
#include "alerts/active_alerts.h"

#include <algorithm>
#include <map>
#include <optional>

#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"

namespace alerts {
namespace {

using dbaccess::DateTime;

constexpr const char* kOpenDowntimes =
    "select m.MACHINE_NUMBER, d.START_TIME, c.DOWNTIME_CODE_NUMBER, c.DOWNTIME_CODE_NAME, "
    "c.PLANNED from T_SFC_DT_PER_MACHINE_DATA d "
    "join T_SFC_MACHINE m on m.MACHINE_DATA_ID = d.MACHINE_DATA_ID "
    "left join T_SFC_DOWNTIME_CODE c on c.DOWNTIME_CODE_ID = d.DOWNTIME_CODE_ID "
    "where d.STOP_TIME is null";

// A machine's latest sign of life while its current record is in a shift.
constexpr const char* kSignsOfLife =
    "select m.MACHINE_NUMBER, m.STATUS_DATE, "
    "(select max(h.LAST_HEARTBEAT) from T_SFC_MACHINE_HEARTBEAT h "
    "where h.MACHINE_ID = m.MACHINE_ID) as HEARTBEAT, "
    "(select max(l.TIME_STAMP) from T_SFC_MDC_LOG l where l.MACHINE_ID = m.MACHINE_ID) as LOGGED "
    "from T_SFC_MACHINE m join T_SFC_MACHINE_DATA md on md.MACHINE_DATA_ID = m.MACHINE_DATA_ID "
    "where md.SHIFT_ID is not null";

constexpr const char* kFailingRows =
    "select m.MACHINE_NUMBER, min(f.LAST_ATTEMPT) as SINCE from T_SFC_MDC_LOG_FAILURE f "
    "join T_SFC_MDC_LOG l on l.MDC_LOG_ID = f.MDC_LOG_ID "
    "left join T_SFC_MACHINE m on m.MACHINE_ID = f.MACHINE_ID group by m.MACHINE_NUMBER";

std::string Text(dbaccess::Recordset& rows, const char* column) {
  const dbaccess::Variant& value = rows.Fields(column).Value();
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

std::optional<DateTime> Time(dbaccess::Recordset& rows, const char* column) {
  const dbaccess::Variant& value = rows.Fields(column).Value();
  if (value.IsNull() || value.IsEmpty()) return std::nullopt;
  return value.ToDateTime();
}

int64_t SecondsBetween(const DateTime& from, const DateTime& to) {
  return (to.MillisecondsSinceEpoch() - from.MillisecondsSinceEpoch()) / 1000;
}

DateTime DatabaseNow(const dbaccess::ConnectionPtr& reads, int32_t kind) {
  dbaccess::Recordset rows;
  rows.Open("select " + voltrane::SysDateExpr(kind) + voltrane::FromDualClause(kind), reads);
  return rows.Fields(size_t{0}).Value().ToDateTime();
}

bool Wanted(const AlertRule& rule, const std::string& code, bool planned) {
  if (planned && !rule.include_planned) return false;
  return rule.codes.empty() || std::find(rule.codes.begin(), rule.codes.end(), code) != rule.codes.end();
}

void AddDowntimes(const dbaccess::ConnectionPtr& reads, const std::vector<const AlertRule*>& rules,
                  const DateTime& now, std::vector<Alert>& alerts) {
  dbaccess::Recordset rows;
  rows.Open(kOpenDowntimes, reads);
  for (; !rows.Eof(); rows.MoveNext()) {
    const std::optional<DateTime> start = Time(rows, "START_TIME");
    if (!start) continue;
    const std::string code = Text(rows, "DOWNTIME_CODE_NUMBER");
    const bool planned = Text(rows, "PLANNED") == "1";
    for (const AlertRule* rule : rules) {
      if (SecondsBetween(*start, now) < rule->minutes * 60 || !Wanted(*rule, code, planned)) {
        continue;
      }
      alerts.push_back({rule->name, rule->kind, Text(rows, "MACHINE_NUMBER"), *start, code,
                        Text(rows, "DOWNTIME_CODE_NAME")});
    }
  }
}

void AddSilent(const dbaccess::ConnectionPtr& reads, const std::vector<const AlertRule*>& rules,
               const DateTime& now, std::vector<Alert>& alerts) {
  dbaccess::Recordset rows;
  rows.Open(kSignsOfLife, reads);
  for (; !rows.Eof(); rows.MoveNext()) {
    std::optional<DateTime> latest;
    for (const char* column : {"STATUS_DATE", "HEARTBEAT", "LOGGED"}) {
      const std::optional<DateTime> time = Time(rows, column);
      if (time && (!latest || latest->MillisecondsSinceEpoch() < time->MillisecondsSinceEpoch())) {
        latest = time;
      }
    }
    if (!latest) continue;
    for (const AlertRule* rule : rules) {
      if (SecondsBetween(*latest, now) < rule->minutes * 60) continue;
      alerts.push_back({rule->name, rule->kind, Text(rows, "MACHINE_NUMBER"), *latest, "", ""});
    }
  }
}

void AddBacklog(const dbaccess::ConnectionPtr& reads, const std::vector<const AlertRule*>& rules,
                const DateTime& now, std::vector<Alert>& alerts) {
  dbaccess::Recordset rows;
  rows.Open("select min(TIME_STAMP) as OLDEST from T_SFC_MDC_LOG", reads);
  const std::optional<DateTime> oldest = Time(rows, "OLDEST");
  if (!oldest) return;
  for (const AlertRule* rule : rules) {
    if (SecondsBetween(*oldest, now) < rule->seconds) continue;
    alerts.push_back({rule->name, rule->kind, "", *oldest, "", ""});
  }
}

void AddFailing(const dbaccess::ConnectionPtr& reads, const std::vector<const AlertRule*>& rules,
                std::vector<Alert>& alerts) {
  dbaccess::Recordset rows;
  try {
    rows.Open(kFailingRows, reads);
  } catch (const dbaccess::DbError&) {
    return;  // no row has failed since the table would have been made
  }
  for (; !rows.Eof(); rows.MoveNext()) {
    const std::optional<DateTime> since = Time(rows, "SINCE");
    for (const AlertRule* rule : rules) {
      alerts.push_back({rule->name, rule->kind, Text(rows, "MACHINE_NUMBER"),
                        since.value_or(DateTime()), "", ""});
    }
  }
}

}  // namespace

std::string Alert::Key() const { return rule + '\n' + machine + '\n' + code; }

std::vector<Alert> ReadActiveAlerts(const dbaccess::ConnectionPtr& reads, int32_t kind,
                                    const std::vector<AlertRule>& rules) {
  std::map<RuleKind, std::vector<const AlertRule*>> by_kind;
  for (const AlertRule& rule : rules) by_kind[rule.kind].push_back(&rule);
  std::vector<Alert> alerts;
  if (by_kind.empty()) return alerts;
  const DateTime now = DatabaseNow(reads, kind);
  if (by_kind.count(RuleKind::kDowntime)) AddDowntimes(reads, by_kind[RuleKind::kDowntime], now, alerts);
  if (by_kind.count(RuleKind::kSilent)) AddSilent(reads, by_kind[RuleKind::kSilent], now, alerts);
  if (by_kind.count(RuleKind::kBacklog)) AddBacklog(reads, by_kind[RuleKind::kBacklog], now, alerts);
  if (by_kind.count(RuleKind::kFailing)) AddFailing(reads, by_kind[RuleKind::kFailing], alerts);
  return alerts;
}

}  // namespace alerts
