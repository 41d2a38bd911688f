// The loss model: where each instant of a machine's scheduled time went.
// Pure arithmetic over time spans, no database access; thread-safe.
//
// Scheduled time is the time the machine data records cover. Each instant of
// it falls into exactly one category; the machine's own state decides first,
// a user downtime only explains time in which the machine stands idle:
//   1. a machine downtime: planned stop when its code is planned, otherwise
//      unplanned downtime;
//   2. a setup or teardown: changeover;
//   3. a cycle: running (also beside a user downtime: the machine runs
//      unattended);
//   4. idle during a user downtime: planned stop for a planned code,
//      otherwise operator stop;
//   5. the rest of the idle time: a minor stop when the whole idle stretch it
//      belongs to (the time the machine stands idle without a break, user
//      downtimes inside included, across record splits, shift changes and
//      midnight) is shorter than the micro-stop limit, otherwise waiting.
// Where two downtimes of the same kind overlap, the unplanned one counts.
#ifndef VOLTRANE_REPORTS_LOSS_MODEL_H_
#define VOLTRANE_REPORTS_LOSS_MODEL_H_

#include <cstdint>
#include <vector>

#include "dbaccess/date_time.h"
#include "dbaccess/elapsed_time.h"

namespace reports {

// How a plant counts its losses; stored once per database (loss_settings.h).
struct LossSettings {
  int32_t micro_stop_seconds = 120;    // idle stretches shorter than this are minor stops
  bool changeover_is_planned = false;  // changeovers leave the planned production time

  bool operator==(const LossSettings&) const = default;
};

// A half-open span [start, stop); empty or reversed spans count nothing.
struct StateSpan {
  dbaccess::DateTime start;
  dbaccess::DateTime stop;
  bool planned = false;  // for downtimes: the code has PLANNED = 1
};

// One machine's state over time. Records must not overlap one another.
struct MachineStates {
  std::vector<StateSpan> records;  // the scheduled time
  std::vector<StateSpan> machine_downtimes;
  std::vector<StateSpan> changeovers;  // setups and teardowns
  std::vector<StateSpan> cycles;
  std::vector<StateSpan> user_downtimes;
};

// Hours per category; they add up to the scheduled hours.
struct LossHours {
  double planned_stop = 0;
  double unplanned_downtime = 0;
  double changeover = 0;
  double running = 0;
  double operator_stop = 0;
  double minor_stop = 0;
  double waiting = 0;

  double Scheduled() const;
  void Add(const LossHours& other);
};

// The hours of each record of `states.records`, in the same order. Elapsed
// time follows dbaccess::ElapsedMilliseconds under `changes`.
std::vector<LossHours> ClassifyMachineTime(const MachineStates& states,
                                           const LossSettings& settings,
                                           const std::vector<dbaccess::ClockChange>& changes = {});

}  // namespace reports

#endif  // VOLTRANE_REPORTS_LOSS_MODEL_H_
