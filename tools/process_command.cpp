#include "tools/process_command.h"

#include <fmt/format.h>

#include <chrono>
#include <string>

#include "library/com_error.h"
#include "tools/library_object.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr auto kProgressInterval = std::chrono::milliseconds(500);

double SecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

double RowsPerSecond(int64_t rows, double seconds) { return seconds > 0 ? rows / seconds : 0.0; }

// Some of the library's texts begin with a blank.
std::string Trimmed(std::string text) {
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

}  // namespace

CLI::App* AddProcessCommand(CLI::App& app, ProcessOptions& options) {
  CLI::App* process = app.add_subcommand(
      "process", "Process the MDC log until it is empty, as the collector service does");
  process
      ->add_option("--max-idle-calls", options.max_idle_calls,
                   "Give up after this many calls in a row that processed no row")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  return process;
}

int RunProcess(const DatabaseChoice& choice, const ProcessOptions& options, std::ostream& out,
               std::ostream& err, bool show_progress) {
  LibraryObject object = CreateConnectedObject(choice, err);
  if (!object) return 1;
  const auto start = SteadyClock::now();
  auto last_progress = start;
  int64_t rows = 0;
  int32_t idle_calls = 0;
  bool showed_progress = false;
  while (true) {
    std::string error;
    bool processed = false;
    try {
      if (!object->IsConnected() &&
          !object->ConnectToDatabase(choice.connection_string, choice.database_type, error)) {
        err << fmt::format("Could not connect to the database again: {}\n", error);
        return 1;
      }
      processed = object->DoNextItemFromMDCLog(error);
    } catch (const ComError& failure) {
      error = fmt::format("Error # {}:{}", failure.number(), failure.description());
    }
    if (processed) {
      ++rows;
      idle_calls = 0;
    } else if (error.empty()) {
      break;  // the log is empty
    } else {
      if (showed_progress) err << "\n";
      showed_progress = false;
      err << Trimmed(error) << "\n";
      if (++idle_calls >= options.max_idle_calls) {
        err << fmt::format(
            "Giving up: {} calls in a row processed no row ({} rows processed before).\n",
            idle_calls, rows);
        return 2;
      }
    }
    if (show_progress && SteadyClock::now() - last_progress >= kProgressInterval) {
      last_progress = SteadyClock::now();
      err << fmt::format("\r{} rows done, {:.0f} rows per second", rows,
                         RowsPerSecond(rows, SecondsSince(start)));
      err.flush();
      showed_progress = true;
    }
  }
  if (showed_progress) err << "\n";
  const double seconds = SecondsSince(start);
  out << fmt::format("Processed {} rows in {:.2f} s ({:.0f} rows per second); the log is empty.\n",
                     rows, seconds, RowsPerSecond(rows, seconds));
  return 0;
}
