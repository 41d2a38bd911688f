// Runs the handler the handler table names for a command: the one way into
// the handlers for a log row the loop read and for a synthetic command the
// monitor builds. The handler's trace name is written before it runs.
// Processing thread only.
#include <string>

#include "library/handlers/command_context.h"
#include "library/handlers/handler_table.h"
#include "library/handlers/handlers.h"
#include "library/intake/intake.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

bool Handlers::RunCommand(const LogEntry& entry, std::string& strError) {
  const CommandHandler* handler =
      HandlerForCommand(intake_.GetCommandTypeCode(entry.lCommandID), entry.lCommandTimeCode);
  if (handler == nullptr) return true;
  WriteExtendedErrorLog(handler->name);
  return handler->run(*this, CommandContext::Of(entry), strError);
}

}  // namespace korvex7::internal
