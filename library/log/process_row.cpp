// One log row, as the processing loop runs it: the row is copied to the log
// history, the monitor sees its sign of life, the handler its command names
// runs (a row without a command is a refresh request, which brings the
// machine's records up to its time), and after a successful one the
// machine's downtime limits are checked. The monitor is called only from
// here and from the idle-log checks; it calls the handlers itself.
//
// A handler's failure is a text, not a failed row step: the loop keeps the
// row in the log. What the loop must do with the row is the RowOutcome,
// never the text: a failed history copy or refresh has the log read again,
// an out-of-order row is removed. Processing thread only.
#include <string>

#include "library/handlers/handlers.h"
#include "library/log/log_processor.h"
#include "library/session/extended_error_log.h"
#include "library/session/sql_date_time.h"
#include "library/session/string_table.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kMsgRefreshFailed = 101;

}  // namespace

RowOutcome LogProcessor::ProcessRow(const LogEntry& entry, std::string& strError) {
  WriteExtendedErrorLog("TS = " + FormatSQLDateTime(entry.dtTime));
  m_lRunCommandID = entry.lCommandID;
  strError = CopyLogEntryToHistory(entry.lMDCLogID, entry.dtTime);
  if (!strError.empty()) return RowOutcome::kReread;

  session_.ClearOutOfOrderRefusal();
  if (entry.lCommandID == -1) {
    if (!refresh_.RefreshRecords(entry.machine, entry.dtTime)) {
      strError = LoadResMessage(kMsgRefreshFailed);
      return RowOutcome::kReread;
    }
  } else {
    monitor_.RecordHeartBeat(entry, strError);
    const RowCommandScope command(session_);
    handlers_.RunCommand(entry, strError);
  }

  if (strError.empty())
    monitor_.DoAutoEndDowntimes(entry.machine.lMachineID, entry.dtTime, strError);
  // A waiting write of the command that failed fails the row with its text,
  // whatever ran after it.
  if (session_.TakeFailedWrite(strError)) return RowOutcome::kFailed;
  if (strError.empty()) return RowOutcome::kDone;
  // A handler that ran into the shift handling's refusal reports it as its
  // failure; the row then goes out of the log.
  return session_.OutOfOrderRefused() ? RowOutcome::kOutOfOrder : RowOutcome::kFailed;
}

}  // namespace korvex7::internal
