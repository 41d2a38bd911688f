// Runs the handler the handler table names for a command: the one way into
// the handlers for a log row the loop read and for a synthetic command the
// monitor builds. The row's parts go to the handler as values; the handler's
// trace name is written before it runs. Processing thread only.
#include <string>

#include "library/handlers/handler_table.h"
#include "library/handlers/handlers.h"
#include "library/intake/intake.h"
#include "library/session/extended_error_log.h"

bool Handlers::RunCommand(const LogEntry& entry, std::string& strError) {
  const CommandHandler handler =
      HandlerForCommand(intake_.GetCommandTypeCode(entry.lCommandID), entry.lCommandTimeCode);
  if (handler == CommandHandler::kNone) return true;
  WriteExtendedErrorLog(CommandHandlerName(handler));
  const MachineKeys& k = entry.machine;
  switch (handler) {
    case CommandHandler::kHeartbeat:
      return true;  // the sign of life was recorded before the handler
    case CommandHandler::kCustomStart:
      return DoCustomStart(k.lDeptID, k.lLocationID, k.lGroupID, k.lMachineID, entry.lCommandID,
                           entry.strParam, entry.dtTime, strError);
    case CommandHandler::kCustomEnd:
      return DoCustomEnd(k.lDeptID, k.lLocationID, k.lGroupID, k.lMachineID, entry.lCommandID,
                         entry.dtTime, strError);
    case CommandHandler::kCustomBoth:
      return DoCustomBoth(k.lDeptID, k.lLocationID, k.lGroupID, k.lMachineID, entry.lCommandID,
                          entry.strParam, entry.dtTime, strError);
    default:
      return RunMachineStateHandler(handler, entry, strError);
  }
}

bool Handlers::RunMachineStateHandler(CommandHandler handler, const LogEntry& entry,
                                      std::string& strError) {
  const int32_t d = entry.machine.lDeptID, l = entry.machine.lLocationID,
                g = entry.machine.lGroupID, m = entry.machine.lMachineID;
  const std::string& p = entry.strParam;
  const dbaccess::DateTime& t = entry.dtTime;
  bool bTransactionOpen = false;
  switch (handler) {
    case CommandHandler::kLogonStart:
      return DoLogonStart(d, l, g, m, p, t, strError);
    case CommandHandler::kLogonEnd:
      return DoLogonEnd(d, l, g, m, t, strError);
    case CommandHandler::kJobStart:
      return DoJobStart(d, l, g, m, p, t, strError);
    case CommandHandler::kJobEnd:
      return DoJobEnd(d, l, g, m, t, strError);
    case CommandHandler::kPartStart:
      return DoPartStart(d, l, g, m, p, t, strError, bTransactionOpen);
    case CommandHandler::kPartEnd:
      return DoPartEnd(d, l, g, m, t, strError);
    case CommandHandler::kOpStart:
      return DoOpStart(d, l, g, m, p, t, strError);
    case CommandHandler::kOpEnd:
      return DoOpEnd(d, l, g, m, t, strError);
    case CommandHandler::kSetupStart:
      return DoSetupStart(d, l, g, m, t, strError);
    case CommandHandler::kSetupEnd:
      return DoSetupEnd(d, l, g, m, t, strError);
    case CommandHandler::kCycleStart:
      return DoCycleStart(d, l, g, m, t, strError);
    case CommandHandler::kCycleEnd:
      return DoCycleEnd(d, l, g, m, t, strError);
    case CommandHandler::kTeardownStart:
      return DoTeardownStart(d, l, g, m, t, strError);
    case CommandHandler::kTeardownEnd:
      return DoTeardownEnd(d, l, g, m, t, strError);
    case CommandHandler::kMachineDowntimeStart:
      return DoMachineDowntimeStart(d, l, g, m, p, t, strError);
    case CommandHandler::kMachineDowntimeEnd:
      return DoMachineDowntimeEnd(d, l, g, m, t, strError);
    case CommandHandler::kUserDowntimeStart:
      return DoUserDowntimeStart(d, l, g, m, p, t, strError);
    case CommandHandler::kUserDowntimeEnd:
      return DoUserDowntimeEnd(d, l, g, m, t, strError);
    case CommandHandler::kGoodPartCount:
      return DoGoodPartCount(d, l, g, m, p, t, strError);
    case CommandHandler::kScrappedPartCount:
      return DoScrappedPartCount(d, l, g, m, p, t, strError);
    case CommandHandler::kIdleStart:
      return DoIdleStart(d, l, g, m, t, strError);
    case CommandHandler::kPartSerialNoStart:
      return DoPartSerialNoStart(d, l, g, m, p, t, strError);
    case CommandHandler::kPartSerialNoEnd:
      return DoPartSerialNoEnd(d, l, g, m, t, strError, false);
    default:
      return true;
  }
}
