#include "mtconnect/log_row_writer.h"

#include <fmt/format.h>

#include <algorithm>

#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "cipher/mod_crypto.h"
#include "dbaccess/recordset.h"
#include "mtconnect/utc_time.h"

namespace mtconnect {

namespace {

// Characters PARAM1 holds on every kind.
constexpr size_t kParam1Characters = 255;

// Characters (code points) of a UTF-8 text, as a character column counts them.
size_t CharacterCount(const std::string& text) {
  size_t count = 0;
  for (const char c : text) {
    // Continuation bytes of a multi-byte sequence look like 10xxxxxx.
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

// The intake's reason a row with these values cannot be stored, or "".
std::string RefusedRowText(const LogCommand& command) {
  if (command.time_code < kStartCode || command.time_code > kBothCode) {
    return "CommandTypeCode must be 0 - start, 1 - end, or 2 - both";
  }
  const size_t characters = CharacterCount(command.param);
  if (characters > kParam1Characters) {
    return fmt::format("The parameter is {} characters long; PARAM1 holds at most {}.", characters,
                       kParam1Characters);
  }
  return "";
}

// The first column of the first row, or nothing when there is none or it is null.
std::optional<int64_t> ScalarKey(const std::string& sql,
                                 const std::shared_ptr<dbaccess::Connection>& connection) {
  dbaccess::Recordset rs;
  rs.Open(sql, connection);
  if (rs.Eof()) return std::nullopt;
  const dbaccess::Variant value = rs.Fields(size_t{0}).Value();
  if (value.IsNull() || value.IsEmpty()) return std::nullopt;
  return value.ToInt64();
}

}  // namespace

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
  error = RefusedRowText(command);
  if (!error.empty()) return false;
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
    }
    reached = true;
    const std::optional<int64_t> machine_key = MachineKey();
    if (!machine_key) {
      error = "No such machine: " + machine_number_;
      return Outcome::kRefused;
    }
    const std::optional<int64_t> command_key = CommandKey(command.type_code);
    if (!command_key) {
      error = fmt::format("No command with a COMMAND_TYPE_CODE of {}", command.type_code);
      return Outcome::kRefused;
    }
    if (connection_->Execute(InsertStatement(*machine_key, *command_key, command)) == 1) {
      return Outcome::kAppended;
    }
    // Renumbered, removed, or without group or location since it was looked up.
    machine_key_.reset();
    error = MachineKey() ? fmt::format("Machine {} has no group or location", machine_number_)
                         : "No such machine: " + machine_number_;
    return Outcome::kRefused;
  } catch (const dbaccess::DbError& failure) {
    connection_.reset();
    error = fmt::format("Error # {}:{}", failure.number(), failure.description());
    return Outcome::kFailed;
  }
}

std::optional<int64_t> LogRowWriter::MachineKey() {
  if (!machine_key_) {
    machine_key_ = ScalarKey("select MACHINE_ID from T_SFC_MACHINE " + voltrane::NoLockHint(kind_) +
                                 " where MACHINE_NUMBER = " +
                                 voltrane::QuotedStr(kind_, machine_number_),
                             connection_);
  }
  return machine_key_;
}

std::optional<int64_t> LogRowWriter::CommandKey(int32_t type_code) {
  const auto known = command_keys_.find(type_code);
  if (known != command_keys_.end()) return known->second;
  const std::optional<int64_t> key =
      ScalarKey(fmt::format("select min(COMMAND_ID) from T_SFC_COMMAND {} where "
                            "COMMAND_TYPE_CODE = {}",
                            voltrane::NoLockHint(kind_), type_code),
                connection_);
  if (key) command_keys_[type_code] = *key;
  return key;
}

std::string LogRowWriter::InsertStatement(int64_t machine, int64_t command,
                                          const LogCommand& row) const {
  const std::string hint = voltrane::NoLockHint(kind_);
  return fmt::format(
      "INSERT INTO T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
      "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) select {} as COMMAND_ID, l.DEPT_ID, g.LOCATION_ID, "
      "m.GROUP_ID, m.MACHINE_ID, {} as COMMAND_TIME_CODE, {} as TIME_STAMP, {} as PARAM1 from "
      "T_SFC_MACHINE m {}, T_SFC_GROUP g {}, T_SFC_LOCATION l {} where m.GROUP_ID = g.GROUP_ID "
      "and g.LOCATION_ID = l.LOCATION_ID and m.MACHINE_ID = {}",
      command, row.time_code, voltrane::DateTimeLiteral(kind_, LocalWallClock(row.utc_ms)),
      row.param.empty() ? "null" : voltrane::QuotedStr(kind_, row.param), hint, hint, hint,
      machine);
}

void LogRowWriter::ReportOnce(const std::string& failure) {
  if (failure == reported_failure_) return;
  reporter_.Report(Severity::kWarning,
                   fmt::format("Machine {}: cannot append to the log, retrying: {}",
                               machine_number_, failure));
  reported_failure_ = failure;
}

}  // namespace mtconnect
