// `korvex7 simulate [--speed N] [--seed S] [--duration SECONDS] [--count N]
// [--machine NUMBER ...] [--quiet]`: appends a live command stream for the
// demo plant's machines (PlantSimulator) through the library's
// AppendItemToMDCLog2, as the plant's monitors and terminals would, until
// SIGINT or SIGTERM, the duration (real seconds) or the count ends it. At
// speed N plant time runs N times faster than real time; the rows carry the
// database's time, so they show the compressed times. The same seed gives
// the same stream; without one a seed is drawn and printed so the run can be
// repeated. The stream's plant day begins with the run (its crews change six,
// fourteen and twenty-two plant hours in), whatever the time of day.
//
// Each appended command is printed (unless --quiet), and at the end the
// number appended per machine. A second SIGINT ends the program at once.
// With --day YYYY-MM-DD [--days N] the stream of N whole plant days from that
// day's midnight is written at once, each row stamped with its plant time
// (PlantDayWriter), as a machine monitor with its own clock writes them;
// --speed and --duration do not apply.
//
// Exit code 0 when the run ended as asked, 1 when the database could not be
// reached or a command was refused three times (its text goes to `err`).
#ifndef VOLTRANE_TOOLS_SIMULATE_COMMAND_H_
#define VOLTRANE_TOOLS_SIMULATE_COMMAND_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/plant_simulator.h"
#include "tools/tool_options.h"

struct SimulateOptions {
  double speed = 1.0;
  std::optional<uint32_t> seed;
  std::optional<double> duration_seconds;
  std::optional<int64_t> count;
  std::vector<std::string> machines;  // empty: the demo plant's
  bool quiet = false;
  bool serial_numbers = false;  // PlantRhythm::serial_numbers
  std::string day;  // plant-day mode from this day (YYYY-MM-DD); "" for the live stream
  int days = 1;
};

CLI::App* AddSimulateCommand(CLI::App& app, SimulateOptions& options);

int RunSimulate(const DatabaseChoice& choice, const SimulateOptions& options, std::ostream& out,
                std::ostream& err);

// "+HH:MM:SS machine 101: Cycle start (param)", the line printed per command.
std::string DescribeCommand(const SimulatedCommand& command);

#endif  // VOLTRANE_TOOLS_SIMULATE_COMMAND_H_
