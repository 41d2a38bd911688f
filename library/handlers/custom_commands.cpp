// Custom commands: every command type without a built-in handler is nothing
// but an event. A start opens the command's event on the machine, an end
// closes it, "both" records an event that starts and ends at once.
//
// Each handler runs in a transaction of its own; on SQL Server a start runs
// without one, because the stored procedure keeps its own. A transaction
// that cannot be begun, or committed, gives the handler's "database is
// currently locked" message; any other failure rolls back and gives the
// error's description. DoPreProcessCustomCommands turns the custom starts
// of type code 0 into events in bulk on SQL Server, before a batch is read.
// Processing thread only.
#include <string>

#include "dbaccess/dialect.h"
#include "library/handlers/event_handlers.h"
#include "library/session/extended_error_log.h"
#include "library/session/string_table.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kMsgCustomStartLocked = 123;
constexpr int32_t kMsgCustomEndLocked = 124;
constexpr int32_t kMsgCustomBothLocked = 125;

}  // namespace

bool EventHandlers::DoCustomStart(const CommandContext& command, std::string& strError) {
  strError.clear();
  const bool bOwnTransaction = dialect().event_steps != voltrane::EventSteps::kStoredProcedures;
  return RunHandlerTransaction(bOwnTransaction, kMsgCustomStartLocked, strError, [&] {
    AddEventRecord(command.machine, command.command_id, command.param, command.time, false);
    return true;
  });
}

bool EventHandlers::DoCustomEnd(const CommandContext& command, std::string& strError) {
  strError.clear();
  return RunHandlerTransaction(true, kMsgCustomEndLocked, strError, [&] {
    if (SetEventStopTime(command.machine.lMachineID, command.command_id, command.time, 1)) {
      return true;
    }
    strError = LoadResMessage(kMsgCustomEndLocked);
    return false;
  });
}

bool EventHandlers::DoCustomBoth(const CommandContext& command, std::string& strError) {
  strError.clear();
  return RunHandlerTransaction(true, kMsgCustomBothLocked, strError, [&] {
    AddEventRecord(command.machine, command.command_id, command.param, command.time, true);
    return true;
  });
}

bool EventHandlers::DoPreProcessCustomCommands(std::string& strError, bool&) {
  if (dialect().event_steps != voltrane::EventSteps::kStoredProcedures) return true;
  int32_t lRecordsAffected = 0;
  if (ExecuteWithRetry("EXEC DoAllCustomStartsInLog", strError, lRecordsAffected)) {
    WriteExtendedErrorLog("DONE with DoAllCustomStartsInLog");
    WriteExtendedErrorLog("---------------------------------");
  }
  return strError.empty();
}

bool EventHandlers::DoProcessHeartBeatCommand(const CommandContext&, std::string&) { return true; }

}  // namespace korvex7::internal
