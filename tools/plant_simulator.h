// PlantSimulator: a plausible live command stream for a small plant, as its
// machine monitors and operator terminals would send it. Every machine logs
// an operator on, starts a job and its first part, sets up, then runs a lot
// of cycles, each ending in a good part count (now and then a scrap count),
// with short load and unload gaps, the odd door or coolant event and, every
// few hours, an unplanned machine downtime; after the lot it moves to the
// next part or job, sometimes waits a long while for material, and sets up
// again. The crews change at fixed times of day and each takes one or two
// breaks (user downtimes) with the machine standing; every machine sends a
// heartbeat every five minutes. The figures are the profile's rhythm
// (tools/plant_profile.h).
//
// The stream is in plant time (milliseconds since the start of the run) and
// never ends; the caller paces and bounds it. Given the same profile and seed
// it is the same stream on every platform: the engine is std::mt19937, whose
// sequence the standard fixes, and the draws do not go through the
// implementation-defined distributions. Not thread-safe.
#ifndef VOLTRANE_TOOLS_PLANT_SIMULATOR_H_
#define VOLTRANE_TOOLS_PLANT_SIMULATOR_H_

#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "tools/plant_profile.h"

struct SimulatedCommand {
  int64_t at_ms = 0;  // plant time since the start of the run
  std::string machine_number;
  int32_t command_type_code = 0;
  int32_t command_time_code = 0;  // 0 start, 1 end, 2 both
  std::string param;              // "" appends a null PARAM1
};

class PlantSimulator {
 public:
  // The profile needs at least one machine, user, job (with a part),
  // downtime code, scrap code and crew change; std::invalid_argument else.
  PlantSimulator(PlantProfile profile, uint32_t seed);

  // The next command in plant-time order; commands due at the same moment
  // come in machine order.
  SimulatedCommand Next();

  const PlantProfile& Profile() const { return profile_; }

 private:
  struct MachineState {
    size_t user = 0;
    size_t job = 0;
    size_t part = 0;
    int cycles_left = 0;
    bool logged_on = false;
    int64_t operator_change_at = 0;
    std::deque<int64_t> breaks_due;  // of the crew at work, in order
    int64_t next_stop_at = 0;        // the next unplanned downtime
    int64_t next_heartbeat_at = 0;
    int64_t free_at = 0;  // plant time at which its next episode may begin
    std::deque<SimulatedCommand> queued;
    int64_t pieces = 0;  // serial-numbered cycles begun
  };

  // Queues the machine's next episode: a start, an operator change, a
  // break, a part change or one production cycle.
  void PlanEpisode(size_t index);
  void PlanStart(size_t index, int64_t& at);
  void PlanOperatorChange(size_t index, int64_t& at);
  void PlanCrew(size_t index, int64_t at);
  void PlanBreak(size_t index, int64_t& at);
  void PlanPartChange(size_t index, int64_t& at);
  void PlanSetup(size_t index, int64_t& at);
  void PlanStop(size_t index, int64_t& at);
  void PlanCycle(size_t index, int64_t& at);
  // The serial number of the machine's next piece (rhythm.serial_numbers).
  std::string NextSerialNumber(size_t index);
  void Queue(size_t index, int64_t at, int32_t type_code, int32_t time_code,
             std::string param = "");

  // The plant time of the crew change at or before `at`, and of the next.
  int64_t CrewChangeBefore(int64_t at) const;
  int64_t CrewChangeAfter(int64_t at) const;

  const std::string& Pick(const std::vector<std::string>& values);
  int64_t Between(int64_t low, int64_t high);
  int64_t Draw(const TimeSpan& span) { return Between(span.min_ms, span.max_ms); }
  bool Chance(int percent);

  PlantProfile profile_;
  std::mt19937 engine_;
  std::vector<MachineState> machines_;
};

#endif  // VOLTRANE_TOOLS_PLANT_SIMULATOR_H_
