// SimulationRun: plays a PlantSimulator's stream into the MDC log in real
// time, or faster: at speed N a minute of plant time passes in 1/N of a real
// minute. The run ends when the stop flag is raised (between appends and
// during waits, which are sliced so that a stop is seen within 100 ms), when
// the real duration has passed, after the given number of commands, or when
// a command cannot be appended.
//
// Appending goes through the injected function (the tool passes the
// library's AppendItemToMDCLog2); a refused command is tried twice more,
// one second apart, before the run gives up on it. Time and waits go through
// the injected clock, so a test runs hours of plant time at once.
#ifndef VOLTRANE_TOOLS_SIMULATION_RUN_H_
#define VOLTRANE_TOOLS_SIMULATION_RUN_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "dbaccess/clock.h"
#include "tools/plant_simulator.h"

struct SimulationLimits {
  double speed = 1.0;         // plant time per real time; must be above 0
  int64_t duration_ms = -1;   // real time; -1 without limit
  int64_t max_commands = -1;  // -1 without limit
};

struct SimulationResult {
  int64_t appended = 0;
  std::map<std::string, int64_t> appended_per_machine;
  int64_t plant_ms = 0;    // plant time of the last appended command
  int64_t elapsed_ms = 0;  // real time the run took
  bool failed = false;     // a command could not be appended
  std::string error;       // the library's text for it
};

// Appends one command; false with the library's text when it was refused.
using AppendFunction = std::function<bool(const SimulatedCommand&, std::string& error)>;
// Told of every command once it is in the log.
using AppendedFunction = std::function<void(const SimulatedCommand&)>;

class SimulationRun {
 public:
  SimulationRun(PlantSimulator& simulator, dbaccess::Clock& clock, const std::atomic<bool>& stop)
      : simulator_(simulator), clock_(clock), stop_(stop) {}

  SimulationResult Run(const SimulationLimits& limits, const AppendFunction& append,
                       const AppendedFunction& appended = nullptr);

 private:
  // Waits until `due_ms` of real time have passed since the start; false when
  // the stop flag or the duration ended the run first.
  bool WaitUntil(int64_t due_ms, const SimulationLimits& limits);
  bool AppendWithRetries(const SimulatedCommand& command, const AppendFunction& append,
                         std::string& error);
  int64_t ElapsedMs();

  PlantSimulator& simulator_;
  dbaccess::Clock& clock_;
  const std::atomic<bool>& stop_;
  int64_t started_ms_ = 0;
};

#endif  // VOLTRANE_TOOLS_SIMULATION_RUN_H_
