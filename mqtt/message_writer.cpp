#include "mqtt/message_writer.h"

#include <fmt/format.h>

#include <algorithm>

#include "cipher/mod_crypto.h"
#include "dbaccess/db_error.h"

namespace mqtt {

MessageWriter::MessageWriter(std::string connection_string, int32_t kind,
                             mtconnect::Reporter& reporter, const mtconnect::StopSignal& stop,
                             mtconnect::RetryPolicy retry)
    : connection_string_(std::move(connection_string)),
      kind_(kind),
      reporter_(reporter),
      stop_(stop),
      retry_(retry) {}

void MessageWriter::Open() {
  if (connection_) return;
  auto connection = std::make_shared<dbaccess::Connection>();
  connection->Open(voltrane::DecipherConnectionString(connection_string_));
  checked_.emplace(connection, kind_, korvex7::TimeRule::kChecked);
  as_given_.emplace(connection, kind_, korvex7::TimeRule::kAsGiven);
  checked_->PrepareClientIds();
  connection_ = std::move(connection);
}

WriteOutcome MessageWriter::Write(const std::vector<korvex7::Command>& commands,
                                  korvex7::TimeRule time_rule) {
  std::chrono::milliseconds wait = retry_.first_wait;
  for (;;) {
    try {
      WriteOutcome outcome = TryWrite(commands, time_rule);
      if (!reported_failure_.empty()) {
        reporter_.Report(mtconnect::Severity::kInfo, "The log takes rows again");
        reported_failure_.clear();
      }
      return outcome;
    } catch (const dbaccess::DbError& failure) {
      if (connection_ && connection_->InTransaction()) {
        try {
          connection_->RollbackTrans();
        } catch (const dbaccess::DbError&) {
          // The connection is gone; it is opened again.
        }
      }
      checked_.reset();
      as_given_.reset();
      connection_.reset();
      const std::string text =
          fmt::format("Error # {}:{}", failure.number(), failure.description());
      if (text != reported_failure_) {
        reporter_.Report(mtconnect::Severity::kWarning,
                         "Cannot append to the log, retrying: " + text);
        reported_failure_ = text;
      }
    }
    if (!stop_.WaitFor(wait)) return {};
    wait = std::min(wait * 2, retry_.longest_wait);
  }
}

WriteOutcome MessageWriter::TryWrite(const std::vector<korvex7::Command>& commands,
                                     korvex7::TimeRule time_rule) {
  Open();
  korvex7::LogRowWriter& rows = time_rule == korvex7::TimeRule::kChecked ? *checked_ : *as_given_;
  WriteOutcome outcome;
  connection_->BeginTrans();
  for (size_t i = 0; i < commands.size(); ++i) {
    const korvex7::AppendResult result = rows.Append(commands[i]);
    if (result.status == korvex7::AppendStatus::kRefused) {
      connection_->RollbackTrans();
      outcome.status = WriteOutcome::Status::kRefused;
      outcome.text =
          commands.size() == 1 ? result.text : fmt::format("command {}: {}", i, result.text);
      return outcome;
    }
    if (result.status == korvex7::AppendStatus::kFailed) throw dbaccess::DbError(0, result.text);
    if (result.status == korvex7::AppendStatus::kDuplicate) {
      ++outcome.duplicates;
    } else {
      ++outcome.appended;
    }
  }
  connection_->CommitTrans();
  outcome.status = WriteOutcome::Status::kCommitted;
  return outcome;
}

}  // namespace mqtt
