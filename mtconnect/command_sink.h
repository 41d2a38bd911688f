// Where a machine's log commands go: the MDC log in the program, a list in
// tests. Called from the machine's bridge thread only.
#ifndef VOLTRANE_MTCONNECT_COMMAND_SINK_H_
#define VOLTRANE_MTCONNECT_COMMAND_SINK_H_

#include <string>

#include "mtconnect/log_command.h"

namespace mtconnect {

class CommandSink {
 public:
  virtual ~CommandSink() = default;
  // Appends one command. False with a text for the report when it was not
  // appended (or not as asked); the bridge reports it and goes on.
  virtual bool Append(const LogCommand& command, std::string& error) = 0;
};

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_COMMAND_SINK_H_
