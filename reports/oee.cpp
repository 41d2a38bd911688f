// OEE: the records of the chart dates (and of the dates either side, for the
// idle stretches), their downtime rows and the machines' status events are
// read once; each machine's time is classified by the loss model, and the
// records' shares are summed per group.
#include "reports/oee.h"

#include <map>
#include <tuple>

#include "dbaccess/database_clock.h"
#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "reports/command_events.h"
#include "reports/loss_figures.h"
#include "reports/loss_settings.h"
#include "reports/machine_directory.h"
#include "reports/report_sql.h"

namespace reports {

namespace {

using dbaccess::DateTime;
using dbaccess::Variant;

constexpr int32_t kUserDowntimeType = 1;
constexpr int64_t kNoShiftSortKey = INT64_MAX;

// Machine number (or part number), chart date (ms since epoch) and shift
// (kNoShiftSortKey for none, sorted last).
using GroupKey = std::tuple<std::string, int64_t, int64_t>;

struct Group {
  std::string machine_name;
  std::string shift_name;
  LossSums sums;
};

struct RecordRow {
  int64_t machine_id = 0;
  GroupKey key;
  std::string shift_name;
  std::string part;
  bool in_report = false;  // charted inside the report's dates, not only read for context
  double standard_minutes = 0;
  int64_t good = 0;
  int64_t scrap = 0;
};

// The machines and shift names of one report.
struct Directory {
  std::map<int64_t, MachineEntry> machines;
  std::map<int64_t, std::string> shifts;
  std::map<int64_t, std::string> parts;  // read only when grouping by part
};

// One machine's records and state spans, records in reading order.
struct MachineInput {
  std::vector<RecordRow> records;
  MachineStates states;
};

double NumberOrZero(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? 0.0 : value.ToDouble();
}

std::string Text(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

// The record's part: the number of its PART_ID, else the text it keeps.
std::string PartOf(dbaccess::Recordset& rs, const Directory& directory) {
  const Variant& id = rs.Fields("PART_ID").Value();
  if (!id.IsNull() && !id.IsEmpty()) {
    const auto part = directory.parts.find(id.ToInt64());
    if (part != directory.parts.end()) return part->second;
  }
  return Text(rs.Fields("PART_NUMBER").Value());
}

std::map<int64_t, std::string> ReadPartNumbers(const dbaccess::ConnectionPtr& connection,
                                               int32_t kind) {
  std::map<int64_t, std::string> parts;
  dbaccess::Recordset rs;
  rs.Open("select PART_ID, PART_NUMBER from T_SFC_PART " + voltrane::NoLockHint(kind), connection);
  for (; !rs.Eof(); rs.MoveNext()) {
    parts[rs.Fields("PART_ID").Value().ToInt64()] = Text(rs.Fields("PART_NUMBER").Value());
  }
  return parts;
}

// "where" clause of the records read: the chart dates a day either side and
// the machines.
std::string RecordSelection(int32_t kind, const OeeQuery& query, const Directory& directory) {
  return " where md.CHART_DATE >= " +
         voltrane::DateTimeLiteral(kind, query.from.DatePart().AddDays(-1)) +
         " and md.CHART_DATE < " + voltrane::DateTimeLiteral(kind, query.to.DatePart().AddDays(2)) +
         MachineIdFilter("md.MACHINE_ID", directory.machines, query.machines);
}

// The records, by MACHINE_DATA_ID to machine and index in its input.
std::map<int64_t, std::pair<int64_t, size_t>> ReadRecords(
    const dbaccess::ConnectionPtr& connection, int32_t kind, const OeeQuery& query,
    const std::string& now, const Directory& directory, std::map<int64_t, MachineInput>& inputs) {
  const std::string sql =
      "select md.MACHINE_DATA_ID, md.MACHINE_ID, md.CHART_DATE, md.SHIFT_ID, md.START_TIME, " +
      RecordEndExpr(kind, "md", now) +
      " as END_TIME, md.STANDARD_TIME, md.GOOD_COUNT, md.SCRAPPED_COUNT, md.PART_ID, "
      "md.PART_NUMBER "
      "from T_SFC_MACHINE_DATA md " +
      voltrane::NoLockHint(kind) + RecordSelection(kind, query, directory);
  const int64_t first_day = query.from.DatePart().MillisecondsSinceEpoch();
  const int64_t last_day = query.to.DatePart().MillisecondsSinceEpoch();
  std::map<int64_t, std::pair<int64_t, size_t>> by_id;
  dbaccess::Recordset rs;
  rs.Open(sql, connection);
  for (; !rs.Eof(); rs.MoveNext()) {
    const int64_t machine_id = rs.Fields("MACHINE_ID").Value().ToInt64();
    const auto machine = directory.machines.find(machine_id);
    if (machine == directory.machines.end()) continue;  // not (or no longer) a machine
    RecordRow record;
    record.machine_id = machine_id;
    const int64_t day =
        rs.Fields("CHART_DATE").Value().ToDateTime().DatePart().MillisecondsSinceEpoch();
    const Variant& shift = rs.Fields("SHIFT_ID").Value();
    const bool has_shift = !shift.IsNull() && !shift.IsEmpty();
    record.key = {machine->second.number, day, has_shift ? shift.ToInt64() : kNoShiftSortKey};
    if (has_shift) {
      const auto name = directory.shifts.find(shift.ToInt64());
      if (name != directory.shifts.end()) record.shift_name = name->second;
    }
    record.part = PartOf(rs, directory);
    record.in_report = day >= first_day && day <= last_day;
    record.standard_minutes = NumberOrZero(rs.Fields("STANDARD_TIME").Value());
    record.good = static_cast<int64_t>(NumberOrZero(rs.Fields("GOOD_COUNT").Value()));
    record.scrap = static_cast<int64_t>(NumberOrZero(rs.Fields("SCRAPPED_COUNT").Value()));
    MachineInput& input = inputs[machine_id];
    by_id[rs.Fields("MACHINE_DATA_ID").Value().ToInt64()] = {machine_id, input.records.size()};
    input.states.records.push_back({rs.Fields("START_TIME").Value().ToDateTime(),
                                    rs.Fields("END_TIME").Value().ToDateTime(), false});
    input.records.push_back(std::move(record));
  }
  return by_id;
}

// The records' downtime rows; a row still open runs to the end of its record.
void ReadDowntimes(const dbaccess::ConnectionPtr& connection, int32_t kind,
                   const OeeQuery& query, const Directory& directory,
                   const std::map<int64_t, std::pair<int64_t, size_t>>& records,
                   std::map<int64_t, MachineInput>& inputs) {
  const std::string hint = voltrane::NoLockHint(kind);
  const std::string sql =
      "select dt.MACHINE_DATA_ID, dt.START_TIME, dt.STOP_TIME, dt.DOWNTIME_TYPE_CODE, "
      "dc.PLANNED from T_SFC_MACHINE_DATA md " +
      hint + " inner join T_SFC_DT_PER_MACHINE_DATA dt " + hint +
      " on dt.MACHINE_DATA_ID = md.MACHINE_DATA_ID left join T_SFC_DOWNTIME_CODE dc " + hint +
      " on dc.DOWNTIME_CODE_ID = dt.DOWNTIME_CODE_ID" + RecordSelection(kind, query, directory);
  dbaccess::Recordset rs;
  rs.Open(sql, connection);
  for (; !rs.Eof(); rs.MoveNext()) {
    const auto record = records.find(rs.Fields("MACHINE_DATA_ID").Value().ToInt64());
    if (record == records.end()) continue;
    MachineInput& input = inputs[record->second.first];
    const StateSpan& owner = input.states.records[record->second.second];
    const Variant& stop = rs.Fields("STOP_TIME").Value();
    StateSpan span;
    span.start = rs.Fields("START_TIME").Value().ToDateTime();
    span.stop = stop.IsNull() || stop.IsEmpty() ? owner.stop : stop.ToDateTime();
    span.planned = NumberOrZero(rs.Fields("PLANNED").Value()) == 1;
    const bool user = NumberOrZero(rs.Fields("DOWNTIME_TYPE_CODE").Value()) == kUserDowntimeType;
    (user ? input.states.user_downtimes : input.states.machine_downtimes).push_back(span);
  }
}

// The setups, cycles and teardowns over the time the records cover.
void ReadStatusEvents(const dbaccess::ConnectionPtr& connection, int32_t kind,
                      const DateTime& now, std::map<int64_t, MachineInput>& inputs) {
  std::vector<int64_t> machine_ids;
  std::optional<DateTime> first;
  std::optional<DateTime> last;
  for (const auto& [machine_id, input] : inputs) {
    machine_ids.push_back(machine_id);
    for (const StateSpan& record : input.states.records) {
      if (!first || record.start < *first) first = record.start;
      if (!last || record.stop > *last) last = record.stop;
    }
  }
  if (!first) return;
  const auto types = ReadCommandTypes(connection, kind, {kTypeSetup, kTypeCycle, kTypeTeardown});
  for (auto& [machine_id, events] : ReadCommandEvents(connection, kind, types, IdList(machine_ids),
                                                      *first, *last, now)) {
    MachineStates& states = inputs[machine_id].states;
    for (const CommandEvent& event : events) {
      auto& spans = event.type == kTypeCycle ? states.cycles : states.changeovers;
      spans.push_back({event.start, event.stop, false});
    }
  }
}

GroupKey KeyFor(const RecordRow& record, OeeGrouping grouping) {
  switch (grouping) {
    case OeeGrouping::kShift:
      return record.key;
    case OeeGrouping::kDay:
      return {std::get<0>(record.key), std::get<1>(record.key), kNoShiftSortKey};
    case OeeGrouping::kMachine:
      return {std::get<0>(record.key), 0, kNoShiftSortKey};
    case OeeGrouping::kPart:
      return {record.part, 0, kNoShiftSortKey};
  }
  return record.key;
}

OeeRow ToRow(const GroupKey& key, const Group& group, OeeGrouping grouping,
             const LossSettings& settings) {
  OeeRow row;
  if (grouping == OeeGrouping::kPart) {
    row.part = std::get<0>(key);
  } else {
    row.machine = std::get<0>(key);
    row.machine_name = group.machine_name;
  }
  if (grouping == OeeGrouping::kShift || grouping == OeeGrouping::kDay) {
    row.chart_date = DateTime::FromMillisecondsSinceEpoch(std::get<1>(key));
  }
  if (grouping == OeeGrouping::kShift && std::get<2>(key) != kNoShiftSortKey) {
    row.shift_id = std::get<2>(key);
    row.shift_name = group.shift_name;
  }
  const LossHours& hours = group.sums.hours;
  const LossFigures figures = ComputeLossFigures(group.sums, settings);
  row.scheduled_h = hours.Scheduled();
  row.planned_downtime_h = hours.planned_stop;
  row.unplanned_downtime_h = hours.unplanned_downtime;
  row.run_h = figures.run_h;
  row.good = group.sums.good;
  row.scrap = group.sums.scrap;
  row.availability = figures.availability;
  row.performance = figures.performance;
  row.quality = figures.quality;
  row.oee = figures.oee;
  row.changeover_h = hours.changeover;
  row.operator_stop_h = hours.operator_stop;
  row.waiting_h = hours.waiting;
  row.minor_stop_h = hours.minor_stop;
  row.running_h = hours.running;
  row.standard_coverage = figures.standard_coverage;
  row.fully_productive_h = figures.fully_productive_h;
  row.speed_loss_h = figures.speed_loss_h;
  row.scrap_loss_h = figures.scrap_loss_h;
  row.planned_production_h = figures.planned_production_h;
  return row;
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
  return QueryOee(connection, kind, query, ReadLossSettings(connection, kind));
}

std::vector<OeeRow> QueryOee(const dbaccess::ConnectionPtr& connection, int32_t kind,
                             const OeeQuery& query, const LossSettings& settings) {
  const DateTime now = query.now ? *query.now : DatabaseNow(connection, kind);
  Directory directory;
  directory.machines = ReadMachines(connection, kind, query.machines);
  if (directory.machines.empty()) return {};
  directory.shifts = ReadShiftNames(connection, kind);
  if (query.grouping == OeeGrouping::kPart) directory.parts = ReadPartNumbers(connection, kind);

  std::map<int64_t, MachineInput> inputs;
  const auto records = ReadRecords(connection, kind, query, voltrane::DateTimeLiteral(kind, now),
                                   directory, inputs);
  ReadDowntimes(connection, kind, query, directory, records, inputs);
  ReadStatusEvents(connection, kind, now, inputs);

  const ClockChanges changes = ReportClockChanges(query.from, query.to);
  std::map<GroupKey, Group> groups;
  for (const auto& [machine_id, input] : inputs) {
    const std::vector<LossHours> hours = ClassifyMachineTime(input.states, settings, changes);
    const MachineEntry& machine = directory.machines.at(machine_id);
    for (size_t i = 0; i < input.records.size(); ++i) {
      const RecordRow& record = input.records[i];
      if (!record.in_report) continue;
      Group& group = groups[KeyFor(record, query.grouping)];
      group.machine_name = machine.name;
      if (!record.shift_name.empty()) group.shift_name = record.shift_name;
      group.sums.Add(
          LossSums::OfRecord(hours[i], record.good, record.scrap, record.standard_minutes));
    }
  }
  std::vector<OeeRow> rows;
  rows.reserve(groups.size());
  for (const auto& [key, group] : groups) rows.push_back(ToRow(key, group, query.grouping, settings));
  return rows;
}

}  // namespace reports
