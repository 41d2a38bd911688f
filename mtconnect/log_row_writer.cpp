#include "mtconnect/log_row_writer.h"

#include <fmt/format.h>

#include <algorithm>

#include "dbaccess/db_error.h"
#include "cipher/mod_crypto.h"
#include "mtconnect/utc_time.h"

namespace mtconnect {

LogRowWriter::LogRowWriter(std::string connection_string, int32_t kind,
                           std::string machine_number, Reporter& reporter, const StopSignal& stop,
                           RetryPolicy retry)
    : connection_string_(std::move(connection_string)),
      kind_(kind),
      machine_number_(std::move(machine_number)),
      reporter_(reporter),
      stop_(stop),
      retry_(retry) {}

bool LogRowWriter::Append(const LogCommand& command, std::string& error) {
  if (const auto refusal = korvex7::CheckCommandValues(command.time_code, command.param)) {
    error = refusal->text;
    return false;
  }
  std::chrono::milliseconds wait = retry_.first_wait;
  std::optional<std::chrono::steady_clock::time_point> refused_since;
  for (;;) {
    bool reached = false;
    const Outcome outcome = TryAppend(command, reached, error);
    if (outcome != Outcome::kFailed) {
      if (!reported_failure_.empty()) {
        reporter_.Report(Severity::kInfo,
                         fmt::format("Machine {}: the log takes rows again", machine_number_));
        reported_failure_.clear();
      }
      return outcome == Outcome::kAppended;
    }
    ReportOnce(error);
    // An unreachable database is waited for as long as it takes; one that
    // answers but keeps refusing the row would hold up the machine forever.
    const auto now = std::chrono::steady_clock::now();
    if (!reached) {
      refused_since.reset();
    } else if (!refused_since) {
      refused_since = now;
    } else if (now - *refused_since >= retry_.refused_limit) {
      return false;
    }
    if (!stop_.WaitFor(wait)) {
      error = "stopped while the database failed: " + error;
      return false;
    }
    wait = std::min(wait * 2, retry_.longest_wait);
  }
}

LogRowWriter::Outcome LogRowWriter::TryAppend(const LogCommand& command, bool& reached,
                                              std::string& error) {
  try {
    if (!connection_) {
      connection_ = std::make_shared<dbaccess::Connection>();
      connection_->Open(voltrane::DecipherConnectionString(connection_string_));
      rows_.emplace(connection_, kind_);
    }
    reached = true;
    const korvex7::AppendResult result = rows_->Append(
        {machine_number_, command.type_code, command.param, command.time_code,
         LocalWallClock(command.utc_ms), ""});
    error = result.text;
    return result.status == korvex7::AppendStatus::kAppended ? Outcome::kAppended
                                                              : Outcome::kRefused;
  } catch (const dbaccess::DbError& failure) {
    rows_.reset();
    connection_.reset();
    error = fmt::format("Error # {}:{}", failure.number(), failure.description());
    return Outcome::kFailed;
  }
}

void LogRowWriter::ReportOnce(const std::string& failure) {
  if (failure == reported_failure_) return;
  reporter_.Report(Severity::kWarning,
                   fmt::format("Machine {}: cannot append to the log, retrying: {}",
                               machine_number_, failure));
  reported_failure_ = failure;
}

}  // namespace mtconnect
