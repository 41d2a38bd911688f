// The command dispatcher: ProcessCommand takes the log row the loop read, as
// a value, copies it to the log history, lets the heartbeat supervision see
// it and calls the handler the dispatch table names; after a successful
// handler the machine's downtime limits are checked. PostHeartbeatCommand
// runs the handler of a synthetic command the monitor builds, through the
// same table; nothing of the row being processed is kept or restored.
//
// A handler's failure is a text, not a failed dispatch: the loop keeps the
// row in the log. What the loop must do with the row is the RowOutcome, never
// the text: a failed history copy or refresh has the log read again, an
// out-of-order row is removed. Processing thread only.
#include <string>

#include "library/dispatch/command_dispatch_table.h"
#include "library/dispatch/dispatcher.h"
#include "library/handlers/handlers.h"
#include "library/intake/intake.h"
#include "library/log/log_processor.h"
#include "library/monitor/monitor.h"
#include "library/records/machine_records.h"
#include "library/session/extended_error_log.h"
#include "library/session/sql_date_time.h"
#include "library/session/string_table.h"

namespace {

constexpr int32_t kMsgRefreshFailed = 101;

}  // namespace

RowOutcome Dispatcher::ProcessCommand(const LogEntry& entry, std::string& strError) {
  WriteExtendedErrorLog("TS = " + FormatSQLDateTime(entry.dtTime));
  strError = log_.CopyLogEntryToHistory(entry.lMDCLogID, entry.dtTime);
  if (!strError.empty()) return RowOutcome::kReread;

  session_.ClearOutOfOrderRefusal();
  if (entry.lCommandID == -1) {
    // A refresh request: bring the machine's records up to the row's time.
    int32_t lMachineDataID = -1;
    if (!records_.HandleExpiredShifts(entry.machine, entry.dtTime, lMachineDataID, true, nullptr)) {
      strError = LoadResMessage(kMsgRefreshFailed);
      return RowOutcome::kReread;
    }
  } else {
    monitor_.RecordHeartBeat(entry, strError);
    RunCommandHandler(entry, strError);
  }

  if (strError.empty())
    monitor_.DoAutoEndDowntimes(entry.machine.lMachineID, entry.dtTime, strError);
  if (strError.empty()) return RowOutcome::kDone;
  // A handler that ran into the shift handling's refusal reports it as its
  // failure; the row then goes out of the log.
  return session_.OutOfOrderRefused() ? RowOutcome::kOutOfOrder : RowOutcome::kFailed;
}

bool Dispatcher::RunCommandHandler(const LogEntry& entry, std::string& strError) {
  const CommandHandler handler =
      HandlerForCommand(intake_.GetCommandTypeCode(entry.lCommandID), entry.lCommandTimeCode);
  if (handler == CommandHandler::kNone) return true;
  const std::string strName = CommandHandlerName(handler);
  WriteExtendedErrorLog(strName);
  const MachineKeys& k = entry.machine;
  switch (handler) {
    case CommandHandler::kHeartbeat:
      return true;  // the sign of life was recorded before dispatch
    case CommandHandler::kCustomStart:
      return handlers_.DoCustomStart(k.lDeptID, k.lLocationID, k.lGroupID, k.lMachineID,
                                     entry.lCommandID, entry.strParam, entry.dtTime, strError);
    case CommandHandler::kCustomEnd:
      return handlers_.DoCustomEnd(k.lDeptID, k.lLocationID, k.lGroupID, k.lMachineID,
                                   entry.lCommandID, entry.dtTime, strError);
    case CommandHandler::kCustomBoth:
      return handlers_.DoCustomBoth(k.lDeptID, k.lLocationID, k.lGroupID, k.lMachineID,
                                    entry.lCommandID, entry.strParam, entry.dtTime, strError);
    default:
      return RunMachineStateHandler(handler, entry, strError);
  }
}

bool Dispatcher::RunMachineStateHandler(CommandHandler handler, const LogEntry& entry,
                                        std::string& strError) {
  const int32_t d = entry.machine.lDeptID, l = entry.machine.lLocationID,
                g = entry.machine.lGroupID, m = entry.machine.lMachineID;
  const std::string& p = entry.strParam;
  const dbaccess::DateTime& t = entry.dtTime;
  bool bTransactionOpen = false;
  switch (handler) {
    case CommandHandler::kLogonStart:
      return handlers_.DoLogonStart(d, l, g, m, p, t, strError);
    case CommandHandler::kLogonEnd:
      return handlers_.DoLogonEnd(d, l, g, m, t, strError);
    case CommandHandler::kJobStart:
      return handlers_.DoJobStart(d, l, g, m, p, t, strError);
    case CommandHandler::kJobEnd:
      return handlers_.DoJobEnd(d, l, g, m, t, strError);
    case CommandHandler::kPartStart:
      return handlers_.DoPartStart(d, l, g, m, p, t, strError, bTransactionOpen);
    case CommandHandler::kPartEnd:
      return handlers_.DoPartEnd(d, l, g, m, t, strError);
    case CommandHandler::kOpStart:
      return handlers_.DoOpStart(d, l, g, m, p, t, strError);
    case CommandHandler::kOpEnd:
      return handlers_.DoOpEnd(d, l, g, m, t, strError);
    case CommandHandler::kSetupStart:
      return handlers_.DoSetupStart(d, l, g, m, t, strError);
    case CommandHandler::kSetupEnd:
      return handlers_.DoSetupEnd(d, l, g, m, t, strError);
    case CommandHandler::kCycleStart:
      return handlers_.DoCycleStart(d, l, g, m, t, strError);
    case CommandHandler::kCycleEnd:
      return handlers_.DoCycleEnd(d, l, g, m, t, strError);
    case CommandHandler::kTeardownStart:
      return handlers_.DoTeardownStart(d, l, g, m, t, strError);
    case CommandHandler::kTeardownEnd:
      return handlers_.DoTeardownEnd(d, l, g, m, t, strError);
    case CommandHandler::kMachineDowntimeStart:
      return handlers_.DoMachineDowntimeStart(d, l, g, m, p, t, strError);
    case CommandHandler::kMachineDowntimeEnd:
      return handlers_.DoMachineDowntimeEnd(d, l, g, m, t, strError);
    case CommandHandler::kUserDowntimeStart:
      return handlers_.DoUserDowntimeStart(d, l, g, m, p, t, strError);
    case CommandHandler::kUserDowntimeEnd:
      return handlers_.DoUserDowntimeEnd(d, l, g, m, t, strError);
    case CommandHandler::kGoodPartCount:
      return handlers_.DoGoodPartCount(d, l, g, m, p, t, strError);
    case CommandHandler::kScrappedPartCount:
      return handlers_.DoScrappedPartCount(d, l, g, m, p, t, strError);
    case CommandHandler::kIdleStart:
      return handlers_.DoIdleStart(d, l, g, m, t, strError);
    case CommandHandler::kPartSerialNoStart:
      return handlers_.DoPartSerialNoStart(d, l, g, m, p, t, strError);
    case CommandHandler::kPartSerialNoEnd:
      return handlers_.DoPartSerialNoEnd(d, l, g, m, t, strError, false);
    default:
      return true;
  }
}

void Dispatcher::PostHeartbeatCommand(const LogEntry& command, std::string& strError) {
  WriteExtendedErrorLog("Special heartbeat ProcessCommand()");
  try {
    RunCommandHandler(command, strError);
  } catch (...) {
    // The synthetic command is the monitor's own; its failure is traced, not
    // passed on, and the row being processed goes on.
    WriteExtendedErrorLog("Special heartbeat ProcessCommand() failed");
  }
}
