// LogRowWriter: appends a machine's commands to the MDC log directly through
// the library's log-row writer (library/korvex7_log_writer.h), one INSERT per
// command that carries the observation's time, the way a machine monitor
// with its own clock writes its rows.
//
// The row is complete the moment it exists: the machine's hierarchy is
// joined in and TIME_STAMP is the observation's local wall-clock time in the
// same statement, so a collector never sees it with another time. The rules
// and texts are the vocabulary's (library/korvex7_commands.h): a time code
// outside 0 to 2 and a parameter longer than PARAM1 are refused before any
// statement, an unknown machine number or command type code is named. The
// machine's key and the command keys are looked up once and kept.
//
// A database that cannot be reached, or that refuses the statement, is
// retried with back-off: each failure is reported once, and again when the
// log takes rows again. The command is given up only when the stop signal
// ends the wait, or when a reachable database has refused it for longer than
// the intake retries (a row it will never take). One machine per writer; the
// connection belongs to the machine's thread.
#ifndef VOLTRANE_MTCONNECT_LOG_ROW_WRITER_H_
#define VOLTRANE_MTCONNECT_LOG_ROW_WRITER_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "dbaccess/connection.h"
#include "library/korvex7_log_writer.h"
#include "mtconnect/command_sink.h"
#include "mtconnect/reporter.h"
#include "mtconnect/stop_signal.h"

namespace mtconnect {

struct RetryPolicy {
  std::chrono::milliseconds first_wait{1000};
  std::chrono::milliseconds longest_wait{30000};
  // How long a reachable database may refuse one command before it is given up.
  std::chrono::milliseconds refused_limit{90000};
};

class LogRowWriter : public CommandSink {
 public:
  // `connection_string` in its stored form (credentials may be enciphered);
  // `kind` the database kind (3 SQLite, 4 PostgreSQL, ...). The connection
  // is opened when first needed and again after a failure.
  LogRowWriter(std::string connection_string, int32_t kind, std::string machine_number,
               Reporter& reporter, const StopSignal& stop, RetryPolicy retry = {});

  bool Append(const LogCommand& command, std::string& error) override;

 private:
  enum class Outcome { kAppended, kRefused, kFailed };

  // One attempt; kFailed leaves the database's text in `error` and the
  // connection closed, `reached` telling whether it could be opened.
  Outcome TryAppend(const LogCommand& command, bool& reached, std::string& error);
  void ReportOnce(const std::string& failure);

  const std::string connection_string_;
  const int32_t kind_;
  const std::string machine_number_;
  Reporter& reporter_;
  const StopSignal& stop_;
  const RetryPolicy retry_;
  std::shared_ptr<dbaccess::Connection> connection_;  // open, or null after a failure
  std::optional<korvex7::LogRowWriter> rows_;         // over connection_ while it is open
  std::string reported_failure_;             // the failure last reported, "" when none
};

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_LOG_ROW_WRITER_H_
