// Timelines: the machines, their events of the day (plus those still open at
// its start), their records of the day, then a sweep per machine that turns
// overlapping events into non-overlapping status spans.
#include "reports/timeline.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "reports/command_events.h"
#include "reports/oee.h"
#include "reports/report_sql.h"

namespace reports {

namespace {

using dbaccess::DateTime;
using dbaccess::Variant;

constexpr int32_t kMachineDowntimeCode = 0;
constexpr int32_t kUserDowntimeCode = 1;

using Event = CommandEvent;

struct Record {
  DateTime start;
  DateTime stop;
  bool has_shift = false;
  int64_t shift_id = 0;
  std::string shift_name;
};

struct MachineRows {
  std::vector<Event> events;
  std::vector<Record> records;
};

std::string Text(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// PLANNED of each downtime code, by upper-case number and downtime type.
std::set<std::pair<std::string, int32_t>> ReadPlannedCodes(
    const dbaccess::ConnectionPtr& connection, int32_t kind) {
  dbaccess::Recordset rs;
  rs.Open("select DOWNTIME_CODE_NUMBER, DOWNTIME_TYPE_CODE from T_SFC_DOWNTIME_CODE " +
              voltrane::NoLockHint(kind) + " where PLANNED = 1",
          connection);
  std::set<std::pair<std::string, int32_t>> planned;
  for (; !rs.Eof(); rs.MoveNext()) {
    const Variant& type = rs.Fields("DOWNTIME_TYPE_CODE").Value();
    planned.insert({Upper(Text(rs.Fields("DOWNTIME_CODE_NUMBER").Value())),
                    type.IsNull() ? 0 : static_cast<int32_t>(type.ToInt64())});
  }
  return planned;
}

// The records begun in the day (records never span midnight: the collector
// splits them there) with their counts added to the timeline.
void ReadRecords(const dbaccess::ConnectionPtr& connection, int32_t kind,
                 const std::string& machine_ids, const DateTime& day_start, const DateTime& day_end,
                 const std::string& now, std::map<int64_t, MachineRows>& rows,
                 std::map<int64_t, MachineTimeline*>& timelines) {
  const std::string hint = voltrane::NoLockHint(kind);
  const std::string sql =
      "select md.MACHINE_ID, md.START_TIME, " + RecordEndExpr(kind, "md", now) +
      " as END_TIME, md.SHIFT_ID, s.SHIFT_NAME, md.FINISHED_CYCLES, md.UNFINISHED_CYCLES, "
      "md.GOOD_COUNT, md.SCRAPPED_COUNT from T_SFC_MACHINE_DATA md " +
      hint + " left join T_SFC_SHIFT s " + hint +
      " on s.SHIFT_ID = md.SHIFT_ID where md.MACHINE_ID in (" + machine_ids +
      ") and md.START_TIME >= " + voltrane::DateTimeLiteral(kind, day_start) +
      " and md.START_TIME < " + voltrane::DateTimeLiteral(kind, day_end);
  dbaccess::Recordset rs;
  rs.Open(sql, connection);
  for (; !rs.Eof(); rs.MoveNext()) {
    const int64_t machine = rs.Fields("MACHINE_ID").Value().ToInt64();
    Record record;
    record.start = rs.Fields("START_TIME").Value().ToDateTime();
    record.stop = rs.Fields("END_TIME").Value().ToDateTime();
    const Variant& shift = rs.Fields("SHIFT_ID").Value();
    record.has_shift = !shift.IsNull() && !shift.IsEmpty();
    if (record.has_shift) record.shift_id = shift.ToInt64();
    record.shift_name = Text(rs.Fields("SHIFT_NAME").Value());
    rows[machine].records.push_back(std::move(record));
    MachineTimeline& timeline = *timelines.at(machine);
    const auto count = [&](const char* column) {
      const Variant& value = rs.Fields(column).Value();
      return value.IsNull() || value.IsEmpty() ? int64_t{0} : value.ToInt64();
    };
    timeline.cycles += count("FINISHED_CYCLES");
    timeline.good += count("GOOD_COUNT");
    timeline.scrap += count("SCRAPPED_COUNT");
  }
}

SpanKind DowntimeKind(const Event& event,
                      const std::set<std::pair<std::string, int32_t>>& planned) {
  const bool user = event.type == kTypeUserDowntime;
  if (planned.count({Upper(event.param), user ? kUserDowntimeCode : kMachineDowntimeCode})) {
    return SpanKind::kPlannedDowntime;
  }
  return user ? SpanKind::kUserDowntime : SpanKind::kMachineDowntime;
}

SpanKind StatusKind(const Event& event, const std::set<std::pair<std::string, int32_t>>& planned) {
  switch (event.type) {
    case kTypeSetup:
      return SpanKind::kSetup;
    case kTypeCycle:
      return SpanKind::kCycle;
    case kTypeTeardown:
      return SpanKind::kTeardown;
    default:
      return DowntimeKind(event, planned);
  }
}

void AppendSpan(std::vector<TimelineSpan>& spans, TimelineSpan span) {
  if (!(span.start < span.stop)) return;
  if (!spans.empty() && spans.back().stop == span.start && spans.back().kind == span.kind &&
      spans.back().code == span.code) {
    spans.back().stop = span.stop;
    return;
  }
  spans.push_back(std::move(span));
}

// The status in force between consecutive moments at which an event or a
// record begins or ends: the latest-begun open status event, else idle where
// a record covers the time.
void SweepStatus(MachineTimeline& timeline, std::vector<Event> events,
                 const std::vector<Record>& records,
                 const std::set<std::pair<std::string, int32_t>>& planned) {
  std::vector<DateTime> points;
  for (Event& event : events) {
    event.start = std::max(event.start, timeline.day_start);
    event.stop = std::min(event.stop, timeline.day_end);
    points.push_back(event.start);
    points.push_back(event.stop);
  }
  for (const Record& record : records) {
    points.push_back(std::max(record.start, timeline.day_start));
    points.push_back(std::min(record.stop, timeline.day_end));
  }
  std::sort(points.begin(), points.end());
  points.erase(std::unique(points.begin(), points.end()), points.end());
  std::sort(events.begin(), events.end(),
            [](const Event& a, const Event& b) { return a.start < b.start; });

  std::set<std::pair<DateTime, size_t>> active;  // by start; ended ones leave lazily
  size_t next_event = 0;
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    const DateTime& from = points[i];
    const DateTime& to = points[i + 1];
    while (next_event < events.size() && events[next_event].start <= from) {
      if (events[next_event].start < events[next_event].stop) {
        active.insert({events[next_event].start, next_event});
      }
      ++next_event;
    }
    while (!active.empty() && events[active.rbegin()->second].stop <= from) {
      active.erase(std::prev(active.end()));
    }
    if (!active.empty()) {
      const Event& event = events[active.rbegin()->second];
      const SpanKind kind = StatusKind(event, planned);
      const bool downtime = event.type == kTypeMachineDowntime;
      AppendSpan(timeline.status, {from, to, kind, downtime ? event.param : ""});
      continue;
    }
    const bool covered = std::any_of(records.begin(), records.end(), [&](const Record& record) {
      return record.start <= from && to <= record.stop;
    });
    if (covered) AppendSpan(timeline.status, {from, to, SpanKind::kIdle, ""});
  }
}

void BuildTimeline(MachineTimeline& timeline, MachineRows& rows,
                   const std::set<std::pair<std::string, int32_t>>& planned) {
  std::sort(rows.records.begin(), rows.records.end(),
            [](const Record& a, const Record& b) { return a.start < b.start; });
  std::vector<Event> status_events;
  for (const Event& event : rows.events) {
    switch (event.type) {
      case kTypeSetup:
      case kTypeCycle:
      case kTypeTeardown:
      case kTypeMachineDowntime:
        status_events.push_back(event);
        break;
      case kTypeUserDowntime:
        timeline.user_downtimes.push_back({std::max(event.start, timeline.day_start),
                                           std::min(event.stop, timeline.day_end),
                                           DowntimeKind(event, planned), event.param});
        break;
      default:
        if (event.start >= timeline.day_start) {
          const MarkKind mark = event.type == kTypeLogon ? MarkKind::kLogon
                                : event.type == kTypeJob ? MarkKind::kJob
                                                         : MarkKind::kPart;
          timeline.marks.push_back({event.start, mark, event.param});
        }
    }
  }
  std::erase_if(timeline.user_downtimes,
                [](const TimelineSpan& span) { return !(span.start < span.stop); });
  std::sort(timeline.user_downtimes.begin(), timeline.user_downtimes.end(),
            [](const TimelineSpan& a, const TimelineSpan& b) { return a.start < b.start; });
  std::sort(timeline.marks.begin(), timeline.marks.end(),
            [](const TimelineMark& a, const TimelineMark& b) { return a.at < b.at; });
  SweepStatus(timeline, std::move(status_events), rows.records, planned);
  // A shift boundary wherever a record's shift differs from the one before it.
  for (size_t i = 1; i < rows.records.size(); ++i) {
    const Record& before = rows.records[i - 1];
    const Record& record = rows.records[i];
    if (before.has_shift != record.has_shift ||
        (record.has_shift && before.shift_id != record.shift_id)) {
      timeline.shift_boundaries.push_back({record.start, record.shift_name});
    }
  }
}

}  // namespace

const char* SpanKindName(SpanKind kind) {
  switch (kind) {
    case SpanKind::kIdle:
      return "idle";
    case SpanKind::kSetup:
      return "setup";
    case SpanKind::kCycle:
      return "cycle";
    case SpanKind::kTeardown:
      return "teardown";
    case SpanKind::kMachineDowntime:
      return "machine-downtime";
    case SpanKind::kUserDowntime:
      return "user-downtime";
    case SpanKind::kPlannedDowntime:
      return "planned-downtime";
  }
  return "idle";
}

std::vector<MachineTimeline> QueryTimelines(const dbaccess::ConnectionPtr& connection, int32_t kind,
                                            const DateTime& day,
                                            const std::vector<std::string>& machines,
                                            std::optional<DateTime> now) {
  const DateTime clock = now ? *now : DatabaseNow(connection, kind);
  const DateTime day_start = day.DatePart();
  const DateTime day_end = day_start.AddDays(1);
  const DateTime open_end = std::max(day_start, std::min(clock, day_end));

  std::vector<MachineTimeline> timelines;
  std::vector<int64_t> machine_ids;
  {
    dbaccess::Recordset rs;
    rs.Open("select m.MACHINE_ID, m.MACHINE_NUMBER, m.MACHINE_NAME from T_SFC_MACHINE m " +
                voltrane::NoLockHint(kind) + " where 1 = 1" +
                MachineFilter(kind, "m.MACHINE_NUMBER", machines) + " order by m.MACHINE_NUMBER",
            connection);
    for (; !rs.Eof(); rs.MoveNext()) {
      MachineTimeline timeline;
      timeline.machine = Text(rs.Fields("MACHINE_NUMBER").Value());
      timeline.machine_name = Text(rs.Fields("MACHINE_NAME").Value());
      timeline.day_start = day_start;
      timeline.day_end = day_end;
      timelines.push_back(std::move(timeline));
      machine_ids.push_back(rs.Fields("MACHINE_ID").Value().ToInt64());
    }
  }
  if (timelines.empty()) return timelines;
  std::map<int64_t, MachineTimeline*> by_id;
  for (size_t i = 0; i < timelines.size(); ++i) by_id[machine_ids[i]] = &timelines[i];

  const std::string ids = IdList(machine_ids);
  const std::map<int64_t, int32_t> types =
      ReadCommandTypes(connection, kind,
                       {kTypeLogon, kTypeJob, kTypePart, kTypeSetup, kTypeCycle, kTypeTeardown,
                        kTypeMachineDowntime, kTypeUserDowntime});
  const auto planned = ReadPlannedCodes(connection, kind);
  std::map<int64_t, MachineRows> rows;
  for (auto& [machine, events] :
       ReadCommandEvents(connection, kind, types, ids, day_start, day_end, open_end)) {
    rows[machine].events = std::move(events);
  }
  ReadRecords(connection, kind, ids, day_start, day_end, voltrane::DateTimeLiteral(kind, clock),
              rows, by_id);
  for (auto& [machine, machine_rows] : rows)
    BuildTimeline(*by_id.at(machine), machine_rows, planned);
  return timelines;
}

}  // namespace reports
