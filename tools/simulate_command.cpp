#include "tools/simulate_command.h"

#include <fmt/format.h>

#include <cmath>
#include <random>

#include "dbaccess/clock.h"
#include "dbaccess/db_error.h"
#include "cipher/mod_crypto.h"
#include "library/com_error.h"
#include "tools/library_object.h"
#include "tools/plant_day_writer.h"
#include "tools/simulation_run.h"
#include "tools/stop_signals.h"

namespace {

// The names of the demo plant's commands, by type code.
std::string CommandName(int32_t type_code) {
  switch (type_code) {
    case 0:
      return "Door Open";
    case 4:
      return "Logon";
    case 5:
      return "Job";
    case 6:
      return "Part";
    case 7:
      return "Operation";
    case 8:
      return "Setup";
    case 9:
      return "Cycle";
    case 10:
      return "Teardown";
    case 11:
      return "Machine Downtime";
    case 12:
      return "User Downtime";
    case 13:
      return "Good Part Count";
    case 14:
      return "Scrapped Part Count";
    case 15:
      return "Heartbeat";
    case 16:
      return "Idle";
    case 17:
      return "Part Serial Number";
    case 20:
      return "Coolant Alarm";
    default:
      return fmt::format("Command type {}", type_code);
  }
}

std::string PlantTime(int64_t ms) {
  const int64_t seconds = ms / 1000;
  return fmt::format("{:02}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

// The demo plant, or the named machines of it (another number runs the demo
// jobs at the default standard).
PlantProfile ProfileFor(const SimulateOptions& options) {
  const std::vector<std::string>& machine_numbers = options.machines;
  PlantProfile profile = DemoPlantProfile();
  profile.rhythm.serial_numbers = options.serial_numbers;
  if (machine_numbers.empty()) return profile;
  std::vector<SimulatedMachine> machines;
  for (const std::string& number : machine_numbers) {
    SimulatedMachine machine;
    machine.number = number;
    for (const SimulatedMachine& demo : profile.machines) {
      if (demo.number == number) machine = demo;
    }
    machines.push_back(machine);
  }
  profile.machines = std::move(machines);
  return profile;
}

// Some of the library's texts begin with a blank.
std::string Trimmed(std::string text) {
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

}  // namespace

CLI::App* AddSimulateCommand(CLI::App& app, SimulateOptions& options) {
  CLI::App* simulate = app.add_subcommand(
      "simulate", "Append a live command stream for the demo plant's machines until stopped");
  CLI::Option* speed =
      simulate->add_option("--speed", options.speed, "Plant time runs this many times faster")
          ->check(CLI::PositiveNumber)
          ->capture_default_str();
  simulate->add_option("--seed", options.seed, "Seed of the stream: the same seed, the same run");
  CLI::Option* duration =
      simulate->add_option("--duration", options.duration_seconds, "Stop after this many seconds")
          ->check(CLI::NonNegativeNumber);
  simulate->add_option("--count", options.count, "Stop after this many commands")
      ->check(CLI::NonNegativeNumber);
  simulate->add_option("--machine", options.machines,
                       "Machine number to simulate (repeatable; default the demo plant's five)");
  simulate->add_flag("--quiet", options.quiet, "Do not print each command");
  simulate->add_flag("--serial-numbers", options.serial_numbers,
                     "Start a serial number before every cycle; the machines work in pairs in "
                     "--machine order, the second of each pair taking over the first's pieces");
  CLI::Option* day =
      simulate
          ->add_option("--day", options.day,
                       "Write whole plant days from this day (YYYY-MM-DD) at once, each row "
                       "with its plant time, as a machine monitor with its own clock")
          ->check(CLI::Validator(
              [](std::string& text) {
                const auto date = dbaccess::DateTime::Parse(text);
                return text.size() == 10 && date && date->ToText().substr(0, 10) == text
                           ? std::string()
                           : "'" + text + "' is not a date of the form YYYY-MM-DD";
              },
              "YYYY-MM-DD"))
          ->excludes(speed)
          ->excludes(duration);
  simulate->add_option("--days", options.days, "Number of plant days with --day (default 1)")
      ->check(CLI::Range(1, 366))
      ->needs(day);
  return simulate;
}

std::string DescribeCommand(const SimulatedCommand& command) {
  static const char* const kTimeCodes[] = {"start", "end", "both"};
  const char* time_code = command.command_time_code >= 0 && command.command_time_code <= 2
                              ? kTimeCodes[command.command_time_code]
                              : "?";
  std::string text =
      fmt::format("+{} machine {}: {} {}", PlantTime(command.at_ms), command.machine_number,
                  CommandName(command.command_type_code), time_code);
  if (!command.param.empty()) text += fmt::format(" ({})", command.param);
  return text;
}

namespace {

void PrintPerMachine(const PlantProfile& profile, const std::map<std::string, int64_t>& counts,
                     std::ostream& out) {
  for (const SimulatedMachine& machine : profile.machines) {
    const auto found = counts.find(machine.number);
    const int64_t count = found == counts.end() ? 0 : found->second;
    out << fmt::format("  machine {}: {} commands\n", machine.number, count);
  }
}

int RunPlantDays(const DatabaseChoice& choice, const SimulateOptions& options, std::ostream& out,
                 std::ostream& err) {
  auto connection = std::make_shared<dbaccess::Connection>();
  const uint32_t seed = options.seed ? *options.seed : std::random_device()();
  PlantSimulator simulator(ProfileFor(options), seed);
  try {
    connection->Open(voltrane::DecipherConnectionString(choice.connection_string));
    PlantDayWriter writer(connection, choice.database_type);
    const auto first_day = *dbaccess::DateTime::Parse(options.day);
    const PlantDayResult result = writer.Write(
        simulator, first_day, options.days, options.count ? *options.count : -1, [&](int64_t rows) {
          if (!options.quiet) out << fmt::format("  {} rows written\n", rows) << std::flush;
        });
    if (!result.written) {
      err << result.refusal << "\n";
      return 1;
    }
    out << fmt::format(
        "Wrote {} commands of {} plant day(s) from {} with plant time stamps "
        "(seed {}).\n",
        result.rows, options.days, options.day, seed);
    PrintPerMachine(simulator.Profile(), result.rows_per_machine, out);
    return 0;
  } catch (const dbaccess::DbError& error) {
    err << fmt::format("Could not write the plant day: Error # {}:{}\n", error.number(),
                       error.description());
    return 1;
  }
}

}  // namespace

int RunSimulate(const DatabaseChoice& choice, const SimulateOptions& options, std::ostream& out,
                std::ostream& err) {
  if (!options.day.empty()) return RunPlantDays(choice, options, out, err);
  LibraryObject object = CreateConnectedObject(choice, err);
  if (!object) return 1;
  const uint32_t seed = options.seed ? *options.seed : std::random_device()();
  PlantSimulator simulator(ProfileFor(options), seed);
  SimulationLimits limits;
  limits.speed = options.speed;
  if (options.duration_seconds) limits.duration_ms = std::llround(*options.duration_seconds * 1000);
  if (options.count) limits.max_commands = *options.count;

  const auto append = [&](const SimulatedCommand& command, std::string& error) {
    try {
      if (!object.EnsureConnected(choice, error)) return false;
      return object->AppendItemToMDCLog2(command.machine_number, command.command_type_code,
                                         command.param, command.command_time_code, error);
    } catch (const ComError& failure) {
      error = fmt::format("Error # {}:{}", failure.number(), failure.description());
      return false;
    }
  };
  const auto appended = [&](const SimulatedCommand& command) {
    if (!options.quiet) out << DescribeCommand(command) << "\n" << std::flush;
  };

  // The first SIGINT or SIGTERM ends the run after the command in hand.
  CatchStopSignals();
  dbaccess::SystemClock clock;
  const SimulationResult result =
      SimulationRun(simulator, clock, StopRequested()).Run(limits, append, appended);

  out << fmt::format("Appended {} commands in {:.1f} s, {} of plant time (speed {}, seed {}).\n",
                     result.appended, result.elapsed_ms / 1000.0, PlantTime(result.plant_ms),
                     options.speed, seed);
  PrintPerMachine(simulator.Profile(), result.appended_per_machine, out);
  if (result.failed) {
    err << fmt::format("Gave up: a command could not be appended three times: {}\n",
                       Trimmed(result.error));
    return 1;
  }
  return 0;
}
