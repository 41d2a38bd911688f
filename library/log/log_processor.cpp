// LogProcessor: creation, destruction, its part of the batch transaction,
// and the connection probe, which a cached batch answers while it has rows
// left.
#include "library/log/log_processor.h"

#include "library/group/group_member.h"
#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"
#include "library/session/system_names.h"

namespace korvex7::internal {

namespace {

constexpr const char* kProbeSql = "select PTYPE_ID from T_VMES_PTYPE where PTYPE_ID = 0";

}  // namespace

LogProcessor::LogProcessor(Session& session, SchemaMaintenance& schema, RecordRefresh& refresh,
                           Handlers& handlers, LogMonitor& monitor)
    : BatchClient(session),
      schema_(schema),
      refresh_(refresh),
      handlers_(handlers),
      monitor_(monitor),
      m_strComputerName(GetComputerNameText()),
      m_dtLastEntry(session.clock().Now()) {
  session.SetBatchSteps([this] { return !m_dictDeleteQueue.empty(); },
                        [this](std::string& strError) { return BeforeCommit(strError); },
                        [this](bool bBatchWasOpen) { ForgetBatchCaches(bBatchWasOpen); });
}

LogProcessor::~LogProcessor() {
  try {
    // A collector that stops, or a tool that ends, keeps what it processed.
    std::string ignored;
    CommitBatch(ignored);
  } catch (...) {
    // The rows stay in the log and are processed again: nothing is lost.
  }
  LeaveGroup();
  session_.SetBatchSteps(nullptr, nullptr, nullptr);
  SetMachineOwnership(Ownership::kNone);
  CloseRecordset(m_rsLog);
}

void LogProcessor::ForgetBatchCaches(bool bBatchWasOpen) {
  m_batchPartitions.clear();
  if (!bBatchWasOpen && m_dictDeleteQueue.empty()) return;
  WriteExtendedErrorLog("batch not committed: its rows will be read again");
  m_dictDeleteQueue.clear();
  CloseRecordset(m_rsLog);
  monitor_.ForgetCaches();
  m_lHistoryDays = -1;
  m_bFailedRowsTableReady = false;
}

bool LogProcessor::BeforeCommit(std::string& strError) {
  if (!FlushDeleteQueue(strError)) return false;
  // The partitions stay with the batch until the next one begins: a long
  // catch-up commits part way through its row (CommitProgress), whose rest
  // is fenced again at the next commit.
  return !group_ || !session_.BatchOpen() || group_->FenceBatch(m_batchPartitions, strError);
}

void LogProcessor::LeaveGroup() {
  if (!group_) return;
  group_->Leave();
  group_.reset();
  monitor_.SetCheckScope(nullptr);
  session_.SetSamePartitionRule(nullptr);
  SetMachineOwnership(Ownership::kNone);
}

bool LogProcessor::CommitProcessedItems(std::string& strError) {
  strError.clear();
  try {
    const dbaccess::ConnectionPtr& oConnection = connection();
    if (!oConnection || !oConnection->IsOpen()) return true;
    if (!session_.BatchOpen() && m_dictDeleteQueue.empty()) return true;
    return CommitBatch(strError);
  } catch (...) {
    const ErrorInfo error = CurrentError();
    strError = FormatErrorText(error.number, error.description);
    return false;
  }
}

bool LogProcessor::IsConnected() {
  try {
    const dbaccess::ConnectionPtr& oConnection = connection();
    if (!oConnection || !oConnection->IsOpen()) return false;
    // A cached batch with rows left proves the connection recently worked;
    // the service asks before every processing call, so spare the database.
    // After a failed row it proves nothing: a connection lost inside a
    // handler must be noticed before every cached row fails on it in turn.
    if (!m_bLastRowFailed && m_rsLog && m_rsLog->IsOpen() && !m_rsLog->Eof()) return true;
    oConnection->Execute(kProbeSql);
    return oConnection->IsOpen();
  } catch (...) {
    return false;
  }
}

}  // namespace korvex7::internal
