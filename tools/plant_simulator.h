// PlantSimulator: a plausible live command stream for a small plant, as its
// machine monitors and operator terminals would send it. Every machine logs
// an operator on, starts a job and its first part, sets up, then runs cycles
// that end in a good part count (now and then a scrap count), with the odd
// machine downtime, door and coolant event in between; after a few parts it
// moves to the next part or job and sets up again, the operator changes every
// eight hours of plant time, and every machine sends a heartbeat every five
// minutes.
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

struct SimulatedMachine {
  std::string number;  // MACHINE_NUMBER
  double cycle_minutes = 5.0;
};

struct SimulatedJob {
  std::string number;
  std::vector<std::string> parts;  // run in this order
};

// The master data the stream names; the plant must know them for the
// commands to be recorded against them.
struct PlantProfile {
  std::vector<SimulatedMachine> machines;
  std::vector<std::string> users;
  std::vector<SimulatedJob> jobs;
  std::vector<std::string> machine_downtime_codes;
  std::vector<std::string> scrap_codes;
  int32_t door_open_type_code = 0;
  int32_t coolant_alarm_type_code = 20;
  int64_t heartbeat_interval_ms = 5 * 60 * 1000;
  int64_t operator_shift_ms = 8 * 60 * 60 * 1000;
};

// The demo plant of schema/demo_plant.sql: machines 101, 102, 201, 202 and
// 301 with their standard cycle times, its operators, jobs, codes and the two
// custom commands "Door Open" (type 0) and "Coolant Alarm" (type 20).
PlantProfile DemoPlantProfile();

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
  // downtime code and scrap code.
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
    int64_t next_heartbeat_at = 0;
    int64_t free_at = 0;  // plant time at which its next episode may begin
    std::deque<SimulatedCommand> queued;
  };

  // Queues the machine's next episode: a start, an operator change, a part
  // change or one production cycle.
  void PlanEpisode(size_t index);
  void PlanStart(size_t index, int64_t& at);
  void PlanOperatorChange(size_t index, int64_t& at);
  void PlanPartChange(size_t index, int64_t& at);
  void PlanSetup(size_t index, int64_t& at);
  void PlanCycle(size_t index, int64_t& at);
  void Queue(size_t index, int64_t at, int32_t type_code, int32_t time_code,
             std::string param = "");

  const std::string& Pick(const std::vector<std::string>& values);
  int64_t Between(int64_t low, int64_t high);
  bool Chance(int percent);

  PlantProfile profile_;
  std::mt19937 engine_;
  std::vector<MachineState> machines_;
};

#endif  // VOLTRANE_TOOLS_PLANT_SIMULATOR_H_
