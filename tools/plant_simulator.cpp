#include "tools/plant_simulator.h"

#include <stdexcept>
#include <utility>

#include "library/handlers/handler_table.h"

namespace {

constexpr int32_t kStart = 0;
constexpr int32_t kEnd = 1;
constexpr int32_t kBoth = 2;

constexpr int64_t kSecond = 1000;
constexpr int64_t kMinute = 60 * kSecond;

}  // namespace

PlantProfile DemoPlantProfile() {
  PlantProfile profile;
  // Standard cycle times of T_SFC_MACHINE_PPH; the grinder has none, it takes six minutes.
  profile.machines = {{"101", 2.5}, {"102", 3.0}, {"201", 4.25}, {"202", 12.0}, {"301", 6.0}};
  profile.users = {"jsmith", "mgarcia", "kobrien"};
  profile.jobs = {{"J1001", {"SHAFT-100", "FLANGE-200"}}, {"J1002", {"HOUSING-300"}}};
  profile.machine_downtime_codes = {"100", "110", "120"};
  profile.scrap_codes = {"S1", "S2", "S3"};
  return profile;
}

PlantSimulator::PlantSimulator(PlantProfile profile, uint32_t seed)
    : profile_(std::move(profile)), engine_(seed) {
  if (profile_.machines.empty() || profile_.users.empty() || profile_.jobs.empty() ||
      profile_.machine_downtime_codes.empty() || profile_.scrap_codes.empty()) {
    throw std::invalid_argument("the plant profile names no machine, user, job or code");
  }
  for (const SimulatedJob& job : profile_.jobs) {
    if (job.parts.empty()) throw std::invalid_argument("job " + job.number + " has no part");
  }
  machines_.resize(profile_.machines.size());
  for (size_t index = 0; index < machines_.size(); ++index) {
    MachineState& machine = machines_[index];
    // Operators and jobs are spread over the machines; starts are staggered.
    machine.user = index % profile_.users.size();
    machine.job = index % profile_.jobs.size();
    machine.free_at = Between(0, 2 * kMinute);
    machine.next_heartbeat_at = machine.free_at;
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
  } else if (machine.cycles_left == 0) {
    PlanPartChange(index, at);
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
  machine.operator_change_at = at + profile_.operator_shift_ms;
  PlanSetup(index, at);
}

void PlantSimulator::PlanOperatorChange(size_t index, int64_t& at) {
  MachineState& machine = machines_[index];
  Queue(index, at, commandtype::kLogon, kEnd);
  machine.user = (machine.user + 1) % profile_.users.size();
  at += Between(1 * kMinute, 5 * kMinute);
  Queue(index, at, commandtype::kLogon, kStart, profile_.users[machine.user]);
  machine.operator_change_at = at + profile_.operator_shift_ms;
  at += Between(10 * kSecond, 60 * kSecond);
}

void PlantSimulator::PlanPartChange(size_t index, int64_t& at) {
  MachineState& machine = machines_[index];
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
  PlanSetup(index, at);
}

void PlantSimulator::PlanSetup(size_t index, int64_t& at) {
  at += Between(10 * kSecond, 60 * kSecond);
  Queue(index, at, commandtype::kSetup, kStart);
  at += Between(10 * kMinute, 30 * kMinute);
  Queue(index, at, commandtype::kSetup, kEnd);
  machines_[index].cycles_left = static_cast<int>(Between(3, 8));
  at += Between(10 * kSecond, 60 * kSecond);
}

void PlantSimulator::PlanCycle(size_t index, int64_t& at) {
  MachineState& machine = machines_[index];
  if (Chance(6)) {
    Queue(index, at, commandtype::kMachineDowntime, kStart, Pick(profile_.machine_downtime_codes));
    at += Between(3 * kMinute, 15 * kMinute);
    Queue(index, at, commandtype::kMachineDowntime, kEnd);
    at += Between(10 * kSecond, 60 * kSecond);
  } else if (Chance(5)) {
    if (Chance(50)) {
      Queue(index, at, profile_.door_open_type_code, kBoth, "door opened by operator");
    } else {
      Queue(index, at, profile_.coolant_alarm_type_code, kStart, "coolant low");
      at += Between(1 * kMinute, 4 * kMinute);
      Queue(index, at, profile_.coolant_alarm_type_code, kEnd);
    }
    at += Between(5 * kSecond, 30 * kSecond);
  }
  const auto cycle_ms = static_cast<int64_t>(profile_.machines[index].cycle_minutes * kMinute);
  Queue(index, at, commandtype::kCycle, kStart);
  at += cycle_ms * Between(90, 110) / 100;
  Queue(index, at, commandtype::kCycle, kEnd);
  at += kSecond;
  if (Chance(8)) {
    Queue(index, at, commandtype::kScrappedPartCount, kBoth, "1." + Pick(profile_.scrap_codes));
  } else {
    Queue(index, at, commandtype::kGoodPartCount, kBoth, "1");
  }
  --machine.cycles_left;
  at += Between(10 * kSecond, 60 * kSecond);
}

void PlantSimulator::Queue(size_t index, int64_t at, int32_t type_code, int32_t time_code,
                           std::string param) {
  machines_[index].queued.push_back(
      {at, profile_.machines[index].number, type_code, time_code, std::move(param)});
}

const std::string& PlantSimulator::Pick(const std::vector<std::string>& values) {
  return values[static_cast<size_t>(Between(0, static_cast<int64_t>(values.size()) - 1))];
}

int64_t PlantSimulator::Between(int64_t low, int64_t high) {
  // The modulo bias over a 32-bit draw is far below what a simulation notices.
  return low + static_cast<int64_t>(engine_() % static_cast<uint64_t>(high - low + 1));
}

bool PlantSimulator::Chance(int percent) { return Between(0, 99) < percent; }
