#include "tools/process_command.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "dbaccess/db_error.h"
#include "library/com_error.h"
#include "library/failed_log_item_text.h"
#include "library/group/group_tables.h"
#include "library/session/session.h"
#include "tools/connect_wait_clock.h"
#include "tools/failing_rows.h"
#include "tools/library_object.h"
#include "tools/stop_signals.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
namespace group = korvex7::internal::group;

constexpr auto kProgressInterval = std::chrono::milliseconds(500);
// A member whose partitions are empty looks at the whole log every this
// part of the lease: its calls in between renew its leases and take the
// partitions that fall free, well inside their third of the lease, and it
// ends well inside 2 x the lease once the log is empty.
constexpr double kMemberWaitsPerLease = 5.0;

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

// What a member whose own partitions are empty watches: whether any row of
// any member still waits, on a session of its own so that the library
// object's batch and group state stay untouched.
class GroupLogWatch {
 public:
  GroupLogWatch(const DatabaseChoice& choice, std::ostream& err)
      : choice_(choice), clock_(std::make_shared<ConnectWaitClock>(err)), session_(clock_) {}

  // Whether no row waits; a failure to look is no, with its text.
  bool WholeLogEmpty(std::string& error) {
    try {
      if (!Connected(error)) return false;
      return !group::LogRowsWaiting(session_);
    } catch (const dbaccess::DbError& failure) {
      error = fmt::format("Error # {}:{}", failure.number(), failure.description());
      // Connected again at the next look.
      session_.connection()->Close();
      return false;
    }
  }
  // The wait before the next look.
  std::chrono::milliseconds Interval() const {
    return std::chrono::milliseconds(
        std::max<int64_t>(static_cast<int64_t>(lease_seconds_ * 1000.0 / kMemberWaitsPerLease), 1));
  }

 private:
  bool Connected(std::string& error) {
    if (session_.connection() && session_.connection()->IsOpen()) return true;
    clock_->BeginConnect(
        DescribeDatabase(choice_),
        choice_.wait_as_service ? std::nullopt : std::optional<int64_t>(kInteractiveConnectWaitMs));
    const bool connected =
        session_.ConnectToDatabase(choice_.connection_string, choice_.database_type, error);
    clock_->EndConnect();
    if (!connected) return false;
    if (const std::optional<group::GroupRow> row = group::ReadGroup(session_)) {
      lease_seconds_ = row->dLeaseSeconds;
    }
    return true;
  }

  const DatabaseChoice& choice_;
  std::shared_ptr<ConnectWaitClock> clock_;
  korvex7::internal::Session session_;
  double lease_seconds_ = group::kDefaultLeaseSeconds;
};

// What the person at the terminal is told about failures: each failing row
// once, when it first fails, with its key, machine, command and text (it
// stays in the log and fails again at every retry); any other text once.
class FailureReports {
 public:
  // `object` is the one whose DoNextItemFromMDCLog returned `error`, or null
  // when the text came from elsewhere (connecting, an escaped failure).
  void Report(_CKorvex7Obj3* object, const std::string& error, std::ostream& err,
              const std::function<void()>& before_line) {
    Korvex7FailedLogItem row;
    if (object && object->GetLastFailedLogItem(row)) {
      if (!rows_.insert(row.lMDCLogID).second) return;
      before_line();
      err << FailedLogItemText(row) << "\n";
      return;
    }
    if (!texts_.insert(error).second) return;
    before_line();
    err << Trimmed(error) << "\n";
  }
  bool AnyRowFailed() const { return !rows_.empty(); }

 private:
  std::set<int32_t> rows_;
  std::set<std::string> texts_;
};

// The failing rows as the library's table of failed rows has them, with
// their attempts and the time of the last one.
void ListFailedRows(const DatabaseChoice& choice, const FailureReports& reports,
                    std::ostream& err) {
  if (!reports.AnyRowFailed()) return;
  err << "Rows that failed:\n";
  RunListFailingRows(choice, err, err);
}

}  // namespace

CLI::App* AddProcessCommand(CLI::App& app, ProcessOptions& options) {
  CLI::App* process = app.add_subcommand(
      "process", "Process the MDC log until it is empty, as the collector service does");
  process->add_option("--member", options.member,
                      "Take part in the database's collector group as this member, until the "
                      "whole log is empty");
  process
      ->add_option("--group", options.group,
                   "The collector group the member must take part in (default: the one the "
                   "database names)")
      ->needs(process->get_option("--member"));
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
  std::unique_ptr<GroupLogWatch> watch;  // members only
  if (!options.member.empty()) {
    auto* member = dynamic_cast<_CKorvex7Obj5*>(&*object);
    if (member == nullptr) {
      err << "The library predates collector groups.\n";
      return 1;
    }
    member->SetGroupMember(options.group, options.member);
    watch = std::make_unique<GroupLogWatch>(choice, err);
  }
  const auto start = SteadyClock::now();
  auto last_progress = start;
  ProcessTally tally;
  int32_t idle_calls = 0;
  FailureReports reports;
  bool showed_progress = false;
  const auto end_progress_line = [&] {
    if (showed_progress) err << "\n";
    showed_progress = false;
  };
  while (!StopRequested()) {
    std::string error;
    _CKorvex7Obj3* answered = nullptr;  // set once DoNextItemFromMDCLog returned
    try {
      if (!object.EnsureConnected(choice, error)) {
        if (StopRequested()) break;
        end_progress_line();
        err << fmt::format("Could not connect to the database again: {}\n", error);
        return 1;
      }
      object->DoNextItemFromMDCLog(error);  // its outcome is read below
      answered = &*object;
    } catch (const ComError& failure) {
      error = fmt::format("Error # {}:{}", failure.number(), failure.description());
    }
    // The library says what the call did; a call that let a failure escape
    // made no progress.
    const korvex7::ItemOutcome outcome =
        answered ? answered->GetLastItemOutcome() : korvex7::ItemOutcome::kNoProgress;
    if (outcome == korvex7::ItemOutcome::kLogEmpty) {
      if (!watch || watch->WholeLogEmpty(error)) break;
      // Other members' rows, or rows of partitions not yet taken: wait.
      if (!error.empty()) reports.Report(nullptr, error, err, end_progress_line);
      std::this_thread::sleep_for(watch->Interval());
      continue;
    }
    if (outcome == korvex7::ItemOutcome::kProcessed) ++tally.rows;
    if (outcome == korvex7::ItemOutcome::kRemovedOutOfOrder) ++tally.removed_out_of_order;
    if (outcome == korvex7::ItemOutcome::kNoProgress) {
      ++idle_calls;
    } else {
      idle_calls = 0;
    }
    if (!error.empty()) reports.Report(answered, error, err, end_progress_line);
    if (idle_calls >= options.max_idle_calls) {
      err << fmt::format(
          "Giving up: {} calls in a row processed no row ({} rows processed before).\n", idle_calls,
          tally.rows);
      ListFailedRows(choice, reports, err);
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
  ListFailedRows(choice, reports, err);
  // Rows already processed leave the log when the object is released, as
  // when the collector service stops.
  object.Release();
  tally.seconds = SecondsSince(start);
  out << Summary(tally, StopSignalNumber());
  return StopSignalNumber() ? ExitStatusForSignal(StopSignalNumber()) : 0;
}
