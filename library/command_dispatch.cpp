// The command dispatcher: ProcessCommand turns the current row of the batch
// cache into the current log entry, copies it to the log history, lets the
// heartbeat supervision see it and calls the handler the dispatch table
// names; after a successful handler the machine's downtime limits are
// checked. PostHeartbeatCommand runs a handler for a synthetic command that
// has no log row, leaving the current log entry as it was.
//
// A handler's failure is a text, not a failed dispatch: the loop keeps the
// row in the log. A failed history copy, a failed refresh and an
// out-of-order row release the cache, so the log is read again. Handlers of
// features not built yet answer with a text naming the handler, which keeps
// their rows in the log until they exist. Processing thread only.
#include <string>

#include "library/command_dispatch_table.h"
#include "library/extended_error_log.h"
#include "library/korvex7_obj.h"
#include "library/out_of_order.h"
#include "library/sql_date_time.h"
#include "library/string_table.h"

namespace {

constexpr int32_t kMsgRefreshFailed = 101;

int32_t LongOr(const dbaccess::Variant& value, int32_t lWhenNull) {
  return value.IsNull() || value.IsEmpty() ? lWhenNull : value.ToLong();
}

}  // namespace

bool CKorvex7Obj::ProcessCommand(dbaccess::RecordsetPtr& rsLog, int32_t& lMDCLogID,
                                 std::string& strError) {
  if (!rsLog) {
    RunCommandHandler(GetCommandTypeCode(m_lCommandID), strError);
    return false;
  }
  strError.clear();
  if (rsLog->Eof()) {
    strError = "Unexpected end of MDC_LOG recordset";
    CloseRecordset(rsLog);
    return false;
  }
  const dbaccess::Variant vParam = rsLog->Fields("PARAM1").Value();
  m_strParam = vParam.IsNull() || vParam.IsEmpty() ? "" : vParam.ToText();
  m_lCommandID = LongOr(rsLog->Fields("COMMAND_ID").Value(), -1);
  m_lCommandTimeCode = LongOr(rsLog->Fields("COMMAND_TIME_CODE").Value(), -1);
  m_dtCurrentTime = rsLog->Fields("TS").Value().ToDateTime();
  m_lDeptID = rsLog->Fields("DEPT_ID").Value().ToLong();
  m_lLocationID = rsLog->Fields("LOCATION_ID").Value().ToLong();
  m_lGroupID = rsLog->Fields("GROUP_ID").Value().ToLong();
  m_lMachineID = rsLog->Fields("MACHINE_ID").Value().ToLong();
  lMDCLogID = rsLog->Fields("MDC_LOG_ID").Value().ToLong();
  WriteExtendedErrorLog("TS = " + FormatSQLDateTime(m_dtCurrentTime));

  strError = CopyLogEntryToHistory(lMDCLogID, m_dtCurrentTime);
  if (!strError.empty()) {
    CloseRecordset(rsLog);
    return false;
  }

  if (m_lCommandID == -1) {
    // A refresh request: bring the machine's records up to the row's time.
    int32_t lMachineDataID = -1;
    if (!HandleExpiredShifts(m_lMachineID, m_dtCurrentTime, lMachineDataID, true)) {
      strError = LoadResMessage(kMsgRefreshFailed);
      CloseRecordset(rsLog);
      return false;
    }
  } else {
    RecordHeartBeat(m_lMachineID, m_dtCurrentTime, strError);
    RunCommandHandler(GetCommandTypeCode(m_lCommandID), strError);
  }

  if (strError.empty()) DoAutoEndDowntimes(m_lMachineID, m_dtCurrentTime, strError);
  m_bLastRowFailed = !strError.empty();
  if (strError == kOutOfOrderText) {
    CloseRecordset(rsLog);
    return false;
  }
  return true;
}

bool CKorvex7Obj::RunCommandHandler(int32_t lCommandTypeCode, std::string& strError) {
  const CommandHandler handler = HandlerForCommand(lCommandTypeCode, m_lCommandTimeCode);
  if (handler == CommandHandler::kNone) return true;
  const std::string strName = CommandHandlerName(handler);
  WriteExtendedErrorLog(strName);
  switch (handler) {
    case CommandHandler::kHeartbeat:
      return true;  // the sign of life was recorded before dispatch
    case CommandHandler::kCustomStart:
      return DoCustomStart(m_lDeptID, m_lLocationID, m_lGroupID, m_lMachineID, m_lCommandID,
                           m_strParam, m_dtCurrentTime, strError);
    case CommandHandler::kCustomEnd:
      return DoCustomEnd(m_lDeptID, m_lLocationID, m_lGroupID, m_lMachineID, m_lCommandID,
                         m_dtCurrentTime, strError);
    case CommandHandler::kCustomBoth:
      return DoCustomBoth(m_lDeptID, m_lLocationID, m_lGroupID, m_lMachineID, m_lCommandID,
                          m_strParam, m_dtCurrentTime, strError);
    default:
      return RunMachineStateHandler(handler, strError);
  }
}

bool CKorvex7Obj::RunMachineStateHandler(CommandHandler handler, std::string& strError) {
  const int32_t d = m_lDeptID, l = m_lLocationID, g = m_lGroupID, m = m_lMachineID;
  const dbaccess::DateTime& t = m_dtCurrentTime;
  bool bTransactionOpen = false;
  switch (handler) {
    case CommandHandler::kLogonStart:
      return DoLogonStart(d, l, g, m, m_strParam, t, strError);
    case CommandHandler::kLogonEnd:
      return DoLogonEnd(d, l, g, m, t, strError);
    case CommandHandler::kJobStart:
      return DoJobStart(d, l, g, m, m_strParam, t, strError);
    case CommandHandler::kJobEnd:
      return DoJobEnd(d, l, g, m, t, strError);
    case CommandHandler::kPartStart:
      return DoPartStart(d, l, g, m, m_strParam, t, strError, bTransactionOpen);
    case CommandHandler::kPartEnd:
      return DoPartEnd(d, l, g, m, t, strError);
    case CommandHandler::kOpStart:
      return DoOpStart(d, l, g, m, m_strParam, t, strError);
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
      return DoMachineDowntimeStart(d, l, g, m, m_strParam, t, strError);
    case CommandHandler::kMachineDowntimeEnd:
      return DoMachineDowntimeEnd(d, l, g, m, t, strError);
    case CommandHandler::kUserDowntimeStart:
      return DoUserDowntimeStart(d, l, g, m, m_strParam, t, strError);
    case CommandHandler::kUserDowntimeEnd:
      return DoUserDowntimeEnd(d, l, g, m, t, strError);
    case CommandHandler::kGoodPartCount:
      return DoGoodPartCount(d, l, g, m, m_strParam, t, strError);
    case CommandHandler::kScrappedPartCount:
      return DoScrappedPartCount(d, l, g, m, m_strParam, t, strError);
    case CommandHandler::kIdleStart:
      return DoIdleStart(d, l, g, m, t, strError);
    case CommandHandler::kPartSerialNoStart:
      return DoPartSerialNoStart(d, l, g, m, m_strParam, t, strError);
    case CommandHandler::kPartSerialNoEnd:
      return DoPartSerialNoEnd(d, l, g, m, t, strError, false);
    default:
      return true;
  }
}

void CKorvex7Obj::PostHeartbeatCommand(int32_t lCommandID, int32_t lCommandTimeCode,
                                       int32_t lDeptID, int32_t lLocationID, int32_t,
                                       int32_t lMachineID, const std::string& strParam,
                                       const dbaccess::DateTime&, std::string& strError) {
  WriteExtendedErrorLog("Special heartbeat ProcessCommand()");
  const int32_t lSavedCommandID = m_lCommandID;
  const int32_t lSavedCommandTimeCode = m_lCommandTimeCode;
  const int32_t lSavedDeptID = m_lDeptID;
  const int32_t lSavedLocationID = m_lLocationID;
  const int32_t lSavedMachineID = m_lMachineID;
  const std::string strSavedParam = m_strParam;
  m_lCommandID = lCommandID;
  m_lCommandTimeCode = lCommandTimeCode;
  m_lDeptID = lDeptID;
  m_lLocationID = lLocationID;
  m_lMachineID = lMachineID;
  m_strParam = strParam;
  try {
    dbaccess::RecordsetPtr rsNone;
    int32_t lUnused = 0;
    ProcessCommand(rsNone, lUnused, strError);
  } catch (...) {
    // The synthetic command is the monitor's own; its failure is traced, not
    // passed on, and the row being processed goes on.
    WriteExtendedErrorLog("Special heartbeat ProcessCommand() failed");
  }
  m_lCommandID = lSavedCommandID;
  m_lCommandTimeCode = lSavedCommandTimeCode;
  m_lDeptID = lSavedDeptID;
  m_lLocationID = lSavedLocationID;
  m_lMachineID = lSavedMachineID;
  m_strParam = strSavedParam;
}
