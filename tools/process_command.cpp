#include "tools/process_command.h"

#include <fmt/format.h>

#include <chrono>
#include <cstring>
#include <set>
#include <string>

#include "library/com_error.h"
#include "tools/failing_rows.h"
#include "tools/library_object.h"
#include "tools/process_outcome.h"
#include "tools/stop_signals.h"

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

struct ProcessTally {
  int64_t rows = 0;
  int64_t removed_out_of_order = 0;
  double seconds = 0;
};

std::string Summary(const ProcessTally& tally, int stop_signal) {
  std::string text = fmt::format("{} {} rows in {:.2f} s ({:.0f} rows per second)",
                                 stop_signal ? "Stopped after processing" : "Processed", tally.rows,
                                 tally.seconds, RowsPerSecond(tally.rows, tally.seconds));
  if (tally.removed_out_of_order > 0) {
    text += fmt::format("; {} rows removed as out of order", tally.removed_out_of_order);
  }
  if (stop_signal) {
    return text +
           fmt::format("; stopped by {}: every processed row is committed and out of the log.\n",
                       strsignal(stop_signal));
  }
  return text + "; the log is empty.\n";
}

// A failing row's text is reported once; which rows they were (key, machine,
// command, attempts) the library keeps in its table of failed rows.
void ListFailedRows(const DatabaseChoice& choice, const std::set<std::string>& reported,
                    std::ostream& err) {
  if (reported.empty()) return;
  err << "Rows that failed:\n";
  RunListFailingRows(choice, err, err);
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
  // A stop signal is taken between two calls of the library, never inside a row.
  CatchStopSignals();
  LibraryObject object = CreateConnectedObject(choice, err);
  if (!object) return StopSignalNumber() ? ExitStatusForSignal(StopSignalNumber()) : 1;
  const auto start = SteadyClock::now();
  auto last_progress = start;
  ProcessTally tally;
  int32_t idle_calls = 0;
  std::set<std::string> reported;
  bool showed_progress = false;
  const auto end_progress_line = [&] {
    if (showed_progress) err << "\n";
    showed_progress = false;
  };
  while (!StopRequested()) {
    std::string error;
    bool result = false;
    try {
      if (!object.EnsureConnected(choice, error)) {
        if (StopRequested()) break;
        end_progress_line();
        err << fmt::format("Could not connect to the database again: {}\n", error);
        return 1;
      }
      result = object->DoNextItemFromMDCLog(error);
    } catch (const ComError& failure) {
      error = fmt::format("Error # {}:{}", failure.number(), failure.description());
    }
    const ProcessOutcome outcome = ClassifyProcessResult(result, error);
    if (outcome == ProcessOutcome::kLogEmpty) break;
    if (outcome == ProcessOutcome::kProcessed) ++tally.rows;
    if (outcome == ProcessOutcome::kRemovedOutOfOrder) ++tally.removed_out_of_order;
    if (outcome == ProcessOutcome::kNoProgress) {
      ++idle_calls;
    } else {
      idle_calls = 0;
    }
    // A row failing at every retry says the same text each time, its key in it.
    if (!error.empty() && reported.insert(error).second) {
      end_progress_line();
      err << Trimmed(error) << "\n";
    }
    if (idle_calls >= options.max_idle_calls) {
      err << fmt::format(
          "Giving up: {} calls in a row processed no row ({} rows processed before).\n", idle_calls,
          tally.rows);
      ListFailedRows(choice, reported, err);
      return 2;
    }
    if (show_progress && SteadyClock::now() - last_progress >= kProgressInterval) {
      last_progress = SteadyClock::now();
      err << fmt::format("\r{} rows done, {:.0f} rows per second", tally.rows,
                         RowsPerSecond(tally.rows, SecondsSince(start)));
      err.flush();
      showed_progress = true;
    }
  }
  end_progress_line();
  ListFailedRows(choice, reported, err);
  // Rows already processed leave the log when the object is released, as
  // when the collector service stops.
  object.Release();
  tally.seconds = SecondsSince(start);
  out << Summary(tally, StopSignalNumber());
  return StopSignalNumber() ? ExitStatusForSignal(StopSignalNumber()) : 0;
}
