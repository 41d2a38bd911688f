// The simulator's episodes: what a machine does next, as commands queued at
// their plant times.
#include "tools/plant_simulator.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "library/dispatch/command_types.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using plant_time::kDay;
using plant_time::kMinute;
using plant_time::kSecond;

constexpr int32_t kStart = 0;
constexpr int32_t kEnd = 1;
constexpr int32_t kBoth = 2;

void CheckProfile(const PlantProfile& profile) {
  if (profile.machines.empty() || profile.users.empty() || profile.jobs.empty() ||
      profile.machine_downtime_codes.empty() || profile.scrap_codes.empty()) {
    throw std::invalid_argument("the plant profile names no machine, user, job or code");
  }
  for (const SimulatedJob& job : profile.jobs) {
    if (job.parts.empty()) throw std::invalid_argument("job " + job.number + " has no part");
  }
  const std::vector<int64_t>& changes = profile.rhythm.crew_changes;
  if (changes.empty() || !std::is_sorted(changes.begin(), changes.end()) || changes.front() < 0 ||
      changes.back() >= kDay) {
    throw std::invalid_argument("the crews change at no time of day, or not in order");
  }
}

}  // namespace

PlantSimulator::PlantSimulator(PlantProfile profile, uint32_t seed)
    : profile_(std::move(profile)), engine_(seed) {
  CheckProfile(profile_);
  machines_.resize(profile_.machines.size());
  for (size_t index = 0; index < machines_.size(); ++index) {
    MachineState& machine = machines_[index];
    // Operators and jobs are spread over the machines; starts are staggered.
    machine.user = index % profile_.users.size();
    machine.job = index % profile_.jobs.size();
    machine.free_at = Between(0, 2 * kMinute);
    machine.next_heartbeat_at = machine.free_at;
    machine.next_stop_at = machine.free_at + Draw(profile_.rhythm.stop_interval);
  }
}

SimulatedCommand PlantSimulator::Next() {
  size_t chosen = 0;
  bool heartbeat = false;
  int64_t earliest = 0;
  for (size_t index = 0; index < machines_.size(); ++index) {
    MachineState& machine = machines_[index];
    if (machine.queued.empty()) PlanEpisode(index);
    const bool beat = machine.next_heartbeat_at <= machine.queued.front().at_ms;
    const int64_t at = beat ? machine.next_heartbeat_at : machine.queued.front().at_ms;
    if (index == 0 || at < earliest) {
      chosen = index;
      heartbeat = beat;
      earliest = at;
    }
  }
  MachineState& machine = machines_[chosen];
  if (heartbeat) {
    machine.next_heartbeat_at += profile_.heartbeat_interval_ms;
    return {earliest, profile_.machines[chosen].number, commandtype::kHeartbeat, kStart, ""};
  }
  SimulatedCommand command = std::move(machine.queued.front());
  machine.queued.pop_front();
  return command;
}

void PlantSimulator::PlanEpisode(size_t index) {
  MachineState& machine = machines_[index];
  int64_t at = machine.free_at;
  if (!machine.logged_on) {
    PlanStart(index, at);
  } else if (at >= machine.operator_change_at) {
    PlanOperatorChange(index, at);
  } else if (!machine.breaks_due.empty() && at >= machine.breaks_due.front()) {
    PlanBreak(index, at);
  } else if (machine.cycles_left == 0) {
    PlanPartChange(index, at);
  } else if (at >= machine.next_stop_at) {
    PlanStop(index, at);
  } else {
    PlanCycle(index, at);
  }
  machine.free_at = at;
}

void PlantSimulator::PlanStart(size_t index, int64_t& at) {
  MachineState& machine = machines_[index];
  const SimulatedJob& job = profile_.jobs[machine.job];
  Queue(index, at, commandtype::kLogon, kStart, profile_.users[machine.user]);
  at += Between(20 * kSecond, 90 * kSecond);
  Queue(index, at, commandtype::kJob, kStart, job.number);
  at += Between(5 * kSecond, 30 * kSecond);
  Queue(index, at, commandtype::kPart, kStart, job.parts[machine.part]);
  machine.logged_on = true;
  PlanCrew(index, at);
  PlanSetup(index, at);
}

void PlantSimulator::PlanOperatorChange(size_t index, int64_t& at) {
  MachineState& machine = machines_[index];
  Queue(index, at, commandtype::kLogon, kEnd);
  machine.user = (machine.user + 1) % profile_.users.size();
  at += Between(1 * kMinute, 5 * kMinute);
  Queue(index, at, commandtype::kLogon, kStart, profile_.users[machine.user]);
  PlanCrew(index, at);
  at += Between(10 * kSecond, 60 * kSecond);
}

void PlantSimulator::PlanCrew(size_t index, int64_t at) {
  MachineState& machine = machines_[index];
  const int64_t begins = CrewChangeBefore(at);
  const int64_t ends = CrewChangeAfter(at);
  machine.operator_change_at = ends;
  // One break about half way, or two at about a quarter and three quarters.
  const int64_t length = ends - begins;
  const auto at_share = [&](int64_t low_percent, int64_t high_percent) {
    return begins + Between(length * low_percent / 100, length * high_percent / 100);
  };
  machine.breaks_due.clear();
  if (Chance(50)) {
    machine.breaks_due = {at_share(25, 31), at_share(69, 75)};
  } else {
    machine.breaks_due = {at_share(44, 56)};
  }
  // A crew that joins late has missed the breaks already over.
  while (!machine.breaks_due.empty() && machine.breaks_due.front() < at) {
    machine.breaks_due.pop_front();
  }
}

void PlantSimulator::PlanBreak(size_t index, int64_t& at) {
  machines_[index].breaks_due.pop_front();
  Queue(index, at, commandtype::kUserDowntime, kStart, profile_.rhythm.break_code);
  at += profile_.rhythm.break_ms;
  Queue(index, at, commandtype::kUserDowntime, kEnd);
  at += Between(10 * kSecond, 60 * kSecond);
}

void PlantSimulator::PlanPartChange(size_t index, int64_t& at) {
  MachineState& machine = machines_[index];
  const PlantRhythm& rhythm = profile_.rhythm;
  Queue(index, at, commandtype::kPart, kEnd);
  if (++machine.part == profile_.jobs[machine.job].parts.size()) {
    at += Between(5 * kSecond, 20 * kSecond);
    Queue(index, at, commandtype::kJob, kEnd);
    machine.job = (machine.job + 1) % profile_.jobs.size();
    machine.part = 0;
    at += Between(1 * kMinute, 4 * kMinute);
    Queue(index, at, commandtype::kJob, kStart, profile_.jobs[machine.job].number);
  }
  at += Between(5 * kSecond, 30 * kSecond);
  Queue(index, at, commandtype::kPart, kStart, profile_.jobs[machine.job].parts[machine.part]);
  if (Chance(rhythm.material_wait_percent)) {
    at += Between(5 * kSecond, 30 * kSecond);
    Queue(index, at, commandtype::kMachineDowntime, kStart, rhythm.material_wait_code);
    at += Draw(rhythm.material_wait);
    Queue(index, at, commandtype::kMachineDowntime, kEnd);
  }
  PlanSetup(index, at);
}

void PlantSimulator::PlanSetup(size_t index, int64_t& at) {
  const PlantRhythm& rhythm = profile_.rhythm;
  at += Between(10 * kSecond, 60 * kSecond);
  Queue(index, at, commandtype::kSetup, kStart);
  at += Draw(rhythm.setup);
  Queue(index, at, commandtype::kSetup, kEnd);
  machines_[index].cycles_left = static_cast<int>(Between(rhythm.min_lot, rhythm.max_lot));
  at += Between(10 * kSecond, 60 * kSecond);
}

void PlantSimulator::PlanStop(size_t index, int64_t& at) {
  Queue(index, at, commandtype::kMachineDowntime, kStart, Pick(profile_.machine_downtime_codes));
  at += Draw(profile_.rhythm.stop_length);
  Queue(index, at, commandtype::kMachineDowntime, kEnd);
  machines_[index].next_stop_at = at + Draw(profile_.rhythm.stop_interval);
  at += Between(10 * kSecond, 60 * kSecond);
}

void PlantSimulator::PlanCycle(size_t index, int64_t& at) {
  MachineState& machine = machines_[index];
  const PlantRhythm& rhythm = profile_.rhythm;
  if (Chance(rhythm.event_percent)) {
    if (Chance(50)) {
      Queue(index, at, profile_.door_open_type_code, kBoth, "door opened by operator");
    } else {
      Queue(index, at, profile_.coolant_alarm_type_code, kStart, "coolant low");
      at += Between(1 * kMinute, 4 * kMinute);
      Queue(index, at, profile_.coolant_alarm_type_code, kEnd);
    }
    at += Between(5 * kSecond, 30 * kSecond);
  }
  const std::string& part = profile_.jobs[machine.job].parts[machine.part];
  const auto standard_ms =
      static_cast<int64_t>(profile_.machines[index].StandardMinutes(part) * kMinute);
  if (rhythm.serial_numbers) {
    Queue(index, at, commandtype::kPartSerialNo, kStart, NextSerialNumber(index));
    at += kSecond;
  }
  Queue(index, at, commandtype::kCycle, kStart);
  at += standard_ms * Between(rhythm.min_cycle_percent, rhythm.max_cycle_percent) / 100;
  Queue(index, at, commandtype::kCycle, kEnd);
  at += kSecond;
  if (Chance(rhythm.scrap_percent)) {
    Queue(index, at, commandtype::kScrappedPartCount, kBoth, "1." + Pick(profile_.scrap_codes));
  } else {
    Queue(index, at, commandtype::kGoodPartCount, kBoth, "1");
  }
  // The second of a pair (or a machine without one) finishes the piece.
  if (rhythm.serial_numbers && (index % 2 == 1 || index + 1 == machines_.size())) {
    at += kSecond;
    Queue(index, at, commandtype::kPartSerialNo, kEnd);
  }
  --machine.cycles_left;
  at += Draw(rhythm.load_unload);
}

std::string PlantSimulator::NextSerialNumber(size_t index) {
  const int64_t piece = ++machines_[index].pieces;
  const size_t first = index - index % 2;
  return "SN-" + profile_.machines[first].number + "-" + std::to_string(piece);
}

void PlantSimulator::Queue(size_t index, int64_t at, int32_t type_code, int32_t time_code,
                           std::string param) {
  machines_[index].queued.push_back(
      {at, profile_.machines[index].number, type_code, time_code, std::move(param)});
}

int64_t PlantSimulator::CrewChangeBefore(int64_t at) const {
  const std::vector<int64_t>& changes = profile_.rhythm.crew_changes;
  const int64_t since_midnight = at % kDay;
  const int64_t midnight = at - since_midnight;
  for (auto change = changes.rbegin(); change != changes.rend(); ++change) {
    if (*change <= since_midnight) return midnight + *change;
  }
  return midnight - kDay + changes.back();
}

int64_t PlantSimulator::CrewChangeAfter(int64_t at) const {
  const std::vector<int64_t>& changes = profile_.rhythm.crew_changes;
  const int64_t since_midnight = at % kDay;
  const int64_t midnight = at - since_midnight;
  for (const int64_t change : changes) {
    if (change > since_midnight) return midnight + change;
  }
  return midnight + kDay + changes.front();
}

const std::string& PlantSimulator::Pick(const std::vector<std::string>& values) {
  return values[static_cast<size_t>(Between(0, static_cast<int64_t>(values.size()) - 1))];
}

int64_t PlantSimulator::Between(int64_t low, int64_t high) {
  // The modulo bias over a 32-bit draw is far below what a simulation notices.
  return low + static_cast<int64_t>(engine_() % static_cast<uint64_t>(high - low + 1));
}

bool PlantSimulator::Chance(int percent) { return Between(0, 99) < percent; }
