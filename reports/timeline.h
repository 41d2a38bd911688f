// A machine's day as a timeline: the status spans (idle, setup, cycle,
// teardown, machine downtime, planned downtime), the user downtimes that
// run beside them, the shift boundaries, the logon, job and part changes,
// and the day's counts, all read from the events and machine data records
// the collector wrote; nothing is written.
//
// The day is the calendar day 00:00 to 24:00. Status comes from the events
// of the setup, cycle, teardown and machine downtime commands: the one that
// started last among those open is in force; where none is open while a
// machine data record covers the time, the machine is idle; where no record
// covers it, the machine has no span. A downtime whose code has PLANNED = 1
// is a planned downtime. Open events and records count up to `now` (the
// database's clock unless given), records never past the moment the
// collector will close them (see oee.h).
//
// A handful of set-based statements per call, whatever the number of
// machines, each an index range on (MACHINE_ID, COMMAND_ID, START_TIME) or
// (MACHINE_ID, START_TIME). Database failures throw dbaccess::DbError. One
// thread per connection.
#ifndef VOLTRANE_REPORTS_TIMELINE_H_
#define VOLTRANE_REPORTS_TIMELINE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"

namespace reports {

enum class SpanKind {
  kIdle,
  kSetup,
  kCycle,
  kTeardown,
  kMachineDowntime,
  kUserDowntime,
  kPlannedDowntime,
};

struct TimelineSpan {
  dbaccess::DateTime start;
  dbaccess::DateTime stop;
  SpanKind kind = SpanKind::kIdle;
  std::string code;  // downtime code number, "" for the other kinds
};

enum class MarkKind { kLogon, kJob, kPart };

struct TimelineMark {
  dbaccess::DateTime at;
  MarkKind kind = MarkKind::kLogon;
  std::string text;  // the operator, job or part number as the command named it
};

struct ShiftBoundary {
  dbaccess::DateTime at;
  std::string shift_name;  // the shift that begins here, "" for none
};

struct MachineTimeline {
  std::string machine;       // MACHINE_NUMBER
  std::string machine_name;  // MACHINE_NAME
  dbaccess::DateTime day_start;
  dbaccess::DateTime day_end;
  std::vector<TimelineSpan> status;          // in time order, not overlapping
  std::vector<TimelineSpan> user_downtimes;  // kUserDowntime or kPlannedDowntime
  std::vector<ShiftBoundary> shift_boundaries;
  std::vector<TimelineMark> marks;
  int64_t cycles = 0;  // cycles started in the day
  int64_t good = 0;    // parts counted good in the day
  int64_t scrap = 0;   // parts counted scrapped in the day
};

// The timelines of `day` for the machines named (every machine when empty),
// in machine number order; a named machine that does not exist is left out.
std::vector<MachineTimeline> QueryTimelines(const dbaccess::ConnectionPtr& connection, int32_t kind,
                                            const dbaccess::DateTime& day,
                                            const std::vector<std::string>& machines,
                                            std::optional<dbaccess::DateTime> now = std::nullopt);

// "cycle", "setup", ... as the legend and the SVG's class names spell them.
const char* SpanKindName(SpanKind kind);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_TIMELINE_H_
