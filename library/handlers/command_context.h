// The command a handler runs: the machine's resolved keys, the command, its
// parameter and its time, and how the handler is called. A log row becomes
// one through CommandContext::Of; a handler that runs another handler (a
// count starting an empty part, an idle command ending the running
// activity) passes it on, changed through the With... steps. Every handler
// takes one and keeps nothing of it. Plain data; safe to copy between
// threads.
#ifndef VOLTRANE_LIBRARY_HANDLERS_COMMAND_CONTEXT_H_
#define VOLTRANE_LIBRARY_HANDLERS_COMMAND_CONTEXT_H_

#include <cstdint>
#include <string>
#include <utility>

#include "dbaccess/date_time.h"
#include "library/core/log_entry.h"

namespace korvex7::internal {

struct CommandContext {
  MachineKeys machine;
  int32_t command_id = -1;
  std::string param;
  dbaccess::DateTime time;  // the time of every step, never the clock
  // The handler runs inside its caller's transaction instead of its own.
  bool in_callers_transaction = false;
  // A machine downtime the heartbeat monitor starts: never filtered by the
  // cycle status lock.
  bool late_heart_beat = false;

  static CommandContext Of(const LogEntry& entry) {
    return {entry.machine, entry.lCommandID, entry.strParam, entry.dtTime};
  }
  CommandContext WithParam(std::string new_param) const {
    CommandContext changed = *this;
    changed.param = std::move(new_param);
    return changed;
  }
  CommandContext InCallersTransaction() const {
    CommandContext changed = *this;
    changed.in_callers_transaction = true;
    return changed;
  }
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_HANDLERS_COMMAND_CONTEXT_H_
