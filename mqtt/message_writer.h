// MessageWriter: commits the commands of one MQTT message to the MDC log in
// one transaction, their client ids with them, through the library's
// log-row writer; only then may the message be acknowledged to the broker.
// A command whose id is kept already appends nothing (a message delivered
// again); a command a rule refuses refuses the whole message.
//
// A database that fails is retried with back-off, reported once and once
// when it takes rows again; Write gives up only when the stop signal ends
// the wait (the message stays unacknowledged, so the broker sends it again).
// One thread; the connection is the writer's.
#ifndef VOLTRANE_MQTT_MESSAGE_WRITER_H_
#define VOLTRANE_MQTT_MESSAGE_WRITER_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "library/korvex7_log_writer.h"
#include "mtconnect/log_row_writer.h"
#include "mtconnect/reporter.h"
#include "mtconnect/stop_signal.h"

namespace mqtt {

struct WriteOutcome {
  enum class Status { kCommitted, kRefused, kStopped } status = Status::kStopped;
  size_t appended = 0;    // rows committed
  size_t duplicates = 0;  // commands appended before
  std::string text;       // the refusal's text
};

class MessageWriter {
 public:
  MessageWriter(std::string connection_string, int32_t kind, mtconnect::Reporter& reporter,
                const mtconnect::StopSignal& stop, mtconnect::RetryPolicy retry = {});

  // `time_rule`: kChecked for commands with a client's time, kAsGiven for a
  // machine's clock.
  WriteOutcome Write(const std::vector<korvex7::Command>& commands, korvex7::TimeRule time_rule);

 private:
  // One attempt; throws dbaccess::DbError when the database fails.
  WriteOutcome TryWrite(const std::vector<korvex7::Command>& commands, korvex7::TimeRule time_rule);
  void Open();

  const std::string connection_string_;
  const int32_t kind_;
  mtconnect::Reporter& reporter_;
  const mtconnect::StopSignal& stop_;
  const mtconnect::RetryPolicy retry_;
  std::shared_ptr<dbaccess::Connection> connection_;
  std::optional<korvex7::LogRowWriter> checked_;   // a client's own times
  std::optional<korvex7::LogRowWriter> as_given_;  // a machine's clock
  std::string reported_failure_;
};

}  // namespace mqtt

#endif  // VOLTRANE_MQTT_MESSAGE_WRITER_H_
