// The log processing loop: each DoNextItemFromMDCLog call processes at most
// one row of T_SFC_MDC_LOG, in MDC_LOG_ID order. Rows are read in batches of
// up to 1000 into the batch cache (m_rsLog) and worked through across calls.
// Each row runs under its savepoint in the batch transaction, and its removal
// from the log commits with its effects (session/batch_transaction.cpp says
// how). The first call of a processor only announces the library version;
// the startup checks run until they pass; an empty log runs the idle-time
// checks. As a member of a collector group (group/group_member.h) the
// processor reads only the rows of the partitions it holds, ticks between
// batches, runs the startup checks only when it does the group's start
// work, and fences every commit.
//
// Results: true when a row was processed; false with "" when the log is
// empty; false with a text otherwise (announcement, wrong computer, startup
// checks, a failed row, an out-of-order row, or "Error # n:description").
// A failed row has its work undone, stays in the log and is read again at
// the next refill. A connection failure closes the connection (and the cache
// and the uncommitted batch with it) so the collector service connects
// again. Processing thread only.
#include <strings.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "dbaccess/elapsed_time.h"
#include "library/com_error.h"
#include "library/core/out_of_order.h"
#include "library/group/group_member.h"
#include "library/handlers/handlers.h"
#include "library/korvex7.h"
#include "library/intake/intake_sql.h"
#include "library/library_version.h"
#include "library/log/log_processor.h"
#include "library/schema/schema_maintenance.h"
#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kDesignatedPCOption = 14;
constexpr int64_t kStaleCacheSeconds = 30;
constexpr int32_t kBatchSize = 1000;
constexpr double kMillisecondsPerDay = 86400000.0;
constexpr const char* kRowNotKeptText =
    "The row's work could not be kept in the batch transaction; the row will be read again";

constexpr const char* kBatchColumns =
    "MDC_LOG_ID, COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, COMMAND_TIME_CODE, "
    "PARAM1, ";

// The (at most) 1000 rows with the lowest keys, in key order; in group mode
// only those of the partitions held (condition).
std::string BatchStatement(const voltrane::Dialect& dialect, const std::string& condition) {
  using voltrane::RowLimit;
  const std::string inner = std::string("select ") + kBatchColumns + "TIME_STAMP as TS" +
                            " from T_SFC_MDC_LOG " + dialect.table_hint +
                            (condition.empty() ? "" : " where " + condition);
  const std::string n = std::to_string(kBatchSize);
  switch (dialect.row_limit) {
    case RowLimit::kRownum:
      // ROWNUM counts before the outer order: order inside first.
      return "select Sel.* from (" + inner + " order by MDC_LOG_ID) Sel where ROWNUM <= " + n +
             " order by MDC_LOG_ID";
    case RowLimit::kLimit:
      return "select * from (" + inner + ") Sel order by MDC_LOG_ID LIMIT " + n;
    default:
      return "select top " + n + " * from (" + inner + ") Sel order by MDC_LOG_ID";
  }
}

bool CacheUsable(const dbaccess::RecordsetPtr& rs) { return rs && rs->IsOpen() && !rs->Eof(); }

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace

bool LogProcessor::DoNextItemFromMDCLog(std::string& strError) {
  m_bRowRemovedOutOfOrder = false;
  const bool bResult = ProcessNextItem(strError);
  // A call without a row and without a text found the log empty.
  m_lastOutcome = bResult                   ? korvex7::ItemOutcome::kProcessed
                  : m_bRowRemovedOutOfOrder ? korvex7::ItemOutcome::kRemovedOutOfOrder
                  : strError.empty()        ? korvex7::ItemOutcome::kLogEmpty
                                            : korvex7::ItemOutcome::kNoProgress;
  if (bResult) ++m_processedRows[m_lRunCommandID];
  if (m_failedEntry) ++m_failedRows[m_failedEntry->lCommandID];
  return bResult;
}

void LogProcessor::TakeProcessingReport(Korvex7ProcessingReport& report) {
  report.processed = std::exchange(m_processedRows, {});
  report.failed = std::exchange(m_failedRows, {});
  report.commit_seconds = session_.TakeCommitSeconds();
}

bool LogProcessor::ProcessNextItem(std::string& strError) {
  WriteExtendedErrorLog("DoNextItemFromMDCLog");
  // A text left from the caller's previous call must not read as a failure.
  strError.clear();
  m_failedEntry.reset();
  std::optional<LogEntry> entry;  // the row being processed, once read
  try {
    bool bFirstCall = false;
    if (!CheckDesignation(bFirstCall, strError)) return false;
    if (bFirstCall) return AnnounceVersion(strError);
    if (m_bStartupChecksPending && !RunStartupChecks(strError)) return false;

    dbaccess::DateTime dtDatabaseTime;
    // In group mode a tick is never far: the cache lives a third of the lease
    // from its read, however busy the member is.
    const bool bStale =
        group_ ? dbaccess::ElapsedMilliseconds(m_dtCacheRead, clock().Now()) >
                     static_cast<int64_t>(group_->LeaseSeconds() * 1000.0 / 3.0)
               : dbaccess::ElapsedSeconds(m_dtLastEntry, clock().Now()) > kStaleCacheSeconds;
    if (!CacheUsable(m_rsLog) || bStale) {
      if (!RefillBatchCache(dtDatabaseTime, strError)) return false;
    }
    if (m_rsLog->Eof()) return ProcessEmptyLog(dtDatabaseTime, strError);

    if (!session_.BatchOpen()) m_batchPartitions.clear();
    OpenRowSavepoint();
    entry = ReadLogEntry(*m_rsLog);
    if (group_) m_batchPartitions.insert(group_->PartitionOf(entry->machine));
    bool bResult = false;
    const RowOutcome outcome = ProcessRow(*entry, strError);
    m_bLastRowFailed = !strError.empty();
    switch (outcome) {
      case RowOutcome::kDone:
        if (!CloseRowSavepoint()) {
          // A waiting write that failed with the release fails the row as
          // it would have failed at once.
          if (session_.TakeFailedWrite(strError)) {
            m_bLastRowFailed = true;
            KeepRowInLog(*entry, strError);
            break;
          }
          // The row's work could not be kept: it is read again.
          CloseRecordset(m_rsLog);
          if (strError.empty()) strError = kRowNotKeptText;
          RecordFailedRow(*entry, strError);
          WriteExtendedErrorLog("Unhandled error: " + strError);
          break;
        }
        QueueLogRowForDeletion(entry->lMDCLogID);
        bResult = true;
        break;
      case RowOutcome::kOutOfOrder:
        CloseRowSavepoint();
        CloseRecordset(m_rsLog);
        HandleOutOfOrderRow(*entry, strError);
        return false;
      case RowOutcome::kReread:
        CloseRecordset(m_rsLog);
        KeepRowInLog(*entry, strError);
        break;
      case RowOutcome::kFailed:
        KeepRowInLog(*entry, strError);
        break;
    }
    if (m_rsLog) {
      m_dtLastEntry = clock().Now();
      m_rsLog->MoveNext();
    }
    // After a failing row, or the last row read, the caller may pause: the
    // batch must not hold its locks meanwhile.
    const bool bCacheDone = !m_rsLog || m_rsLog->Eof();
    if (session_.BatchOpen() && (!bResult || bCacheDone || BatchDue())) {
      std::string strCommitError;
      if (!CommitBatch(strCommitError)) {
        // The row's failure, if any, was rolled back with the batch: the
        // text is the commit's.
        m_failedEntry.reset();
        strError = strCommitError;
        WriteExtendedErrorLog("Unhandled error: " + strError);
        return false;
      }
    }
    return bResult;
  } catch (...) {
    const ErrorInfo error = CurrentError();
    strError = FormatErrorText(error.number, error.description);
    WriteExtendedErrorLog("Unhandled error: " + strError);
    if (error.number == dbaccess::kErrGenericFailure) {
      WriteExtendedErrorLog(
          "connection failure: closing connection so the service will re-open it");
      // The cache and the uncommitted batch go with their connection: the
      // batch's rows are read again from what was committed.
      ForgetUncommittedBatch();
      CloseRecordset(m_rsLog);
      // Leases may run out while away: they are read again at the next tick.
      if (group_) group_->ForgetOwnership();
      try {
        connection()->Close();
      } catch (...) {
        // Unusable either way; IsConnected reports it.
      }
      return false;
    }
    if (CaughtOutOfOrderRow() && entry) {
      CloseRowSavepoint();
      HandleOutOfOrderRow(*entry, strError);
    } else if (entry) {
      session_.TakeFailedWrite(strError);  // a waiting write's failure keeps its own text
      KeepRowInLog(*entry, strError);
    } else if (session_.SavepointDepth() > 0) {
      CloseRowSavepoint();
    }
    return false;
  }
}

void LogProcessor::KeepRowInLog(const LogEntry& entry, const std::string& strError) {
  // A failing row leaves nothing behind, so its next attempt starts afresh.
  UndoRowWork();
  RecordFailedRow(entry, strError);
  CloseRowSavepoint();
  WriteExtendedErrorLog("Unhandled error: " + strError);
}

bool LogProcessor::CheckDesignation(bool& bFirstCall, std::string& strError) {
  if (group_ && group_->GroupName() != m_strGroupName && !m_strGroupName.empty()) LeaveGroup();
  if (group_ && m_strMemberName.empty()) LeaveGroup();
  if (group_) return true;
  const bool bMember = !m_strMemberName.empty();
  if (bMember && !dialect().collector_groups) {
    strError = group::ServerDatabaseNeededText(dialect().display_name);
    WriteExtendedErrorLog(strError);
    return false;
  }
  // A member reads the option at every try: group mode may begin or end meanwhile.
  if (m_strDesignatedPC.empty() || bMember) {
    bFirstCall = m_strDesignatedPC.empty() || bFirstCall;
    GetStringOption(kDesignatedPCOption, m_strDesignatedPC);
    if (m_strDesignatedPC.empty() && !bMember) {
      SetStringOption(kDesignatedPCOption, m_strComputerName);
      m_strDesignatedPC = m_strComputerName;
    }
  }
  using Kind = group::Designation::Kind;
  group::Designation designation = group::Designation::Parse(m_strDesignatedPC, m_strComputerName);
  // Another computer may have been designated since: read again before refusing.
  if (designation.kind() == Kind::kAnotherComputer && !bMember) {
    GetStringOption(kDesignatedPCOption, m_strDesignatedPC);
    designation = group::Designation::Parse(m_strDesignatedPC, m_strComputerName);
  }
  if (const std::optional<std::string> refusal = designation.Refusal(bMember, m_strGroupName)) {
    strError = *refusal;
    WriteExtendedErrorLog(strError);
    SetMachineOwnership(Ownership::kNone);
    // The refusal is no first call: the announcement waits for one that passes.
    if (bMember || designation.kind() == Kind::kGroup) m_strDesignatedPC.clear();
    bFirstCall = false;
    return false;
  }
  if (!bMember) {
    SetMachineOwnership(Ownership::kDesignated);
    return true;
  }
  std::optional<group::GroupRow> row = group::ReadGroup(session_);
  if (!row) {
    strError = group::kNotInGroupModeText;
    WriteExtendedErrorLog(strError);
    m_strDesignatedPC.clear();
    return false;
  }
  auto member = std::make_unique<GroupMember>(session_, std::move(*row), m_strMemberName);
  member->Join();
  group_ = std::move(member);
  m_bStartupChecksPending = true;
  monitor_.SetCheckScope(group_.get());
  session_.SetSamePartitionRule([this](int32_t lMachineA, int32_t lMachineB) {
    return !group_ || group_->SamePartition(lMachineA, lMachineB);
  });
  SetMachineOwnership(Ownership::kPartitions);
  return true;
}

void LogProcessor::SetMachineOwnership(Ownership eOwnership) {
  if (eOwnership == m_eOwnership) return;
  m_eOwnership = eOwnership;
  switch (eOwnership) {
    case Ownership::kNone:
      session_.SetMachineOwnerRule(nullptr);
      break;
    case Ownership::kDesignated:
      // Option 14 names this computer: no other collector writes any machine.
      session_.SetMachineOwnerRule([](int32_t) {
        return std::optional<Session::OwnershipToken>(Session::OwnershipToken{0, 0});
      });
      break;
    case Ownership::kPartitions:
      session_.SetMachineOwnerRule(
          [this](int32_t lMachineID) -> std::optional<Session::OwnershipToken> {
            if (!group_) return std::nullopt;
            return group_->MachineOwnership(lMachineID);
          });
      break;
  }
}

bool LogProcessor::RunStartupChecks(std::string& strError) {
  if (group_ && !group_->StartWorkPending()) {
    // The member running the start work has not finished: no partition yet,
    // but the member stays live.
    if (!group_->StartWorkDone()) {
      if (group_->TickDue()) group_->Tick();
      return false;
    }
    // Another member ran the checks for this start of the group.
    if (dialect().event_steps == voltrane::EventSteps::kServerFunctions) {
      SetServerEventFunctions(true);
    }
    m_bStartupChecksPending = false;
    session_.ForgetMachineState();
    return true;
  }
  // The checks may change the schema and repair the machines' rows.
  session_.ForgetMachineState();
  schema_.StartupDatabaseChecksAndUpdates(strError);
  if (!strError.empty()) {
    handlers_.activity.LoadCycleStatusLocks();
    return false;
  }
  if (group_) {
    // The tables made on first use are made here, once, before any member
    // processes: members racing to create one would fail their rows.
    int32_t lHistoryDays = 0;
    try {
      MDCLogHistoryEnabled(lHistoryDays);
    } catch (...) {
      // Tried again at the first row, as on a single collector.
    }
    m_lHistoryDays = -1;
    FailedRowsTableReady();
    std::string strFillError;
    if (IsV12Database()) FillMissingStandardTimes(strFillError);
    if (!strFillError.empty()) WriteExtendedErrorLog(strFillError);
    group_->MarkStartWorkDone();
  }
  m_bStartupChecksPending = false;
  return true;
}

bool LogProcessor::AnnounceVersion(std::string& strError) {
  std::string strPath;
  const std::string strVersion = GetLibraryVersion(strPath);
  strError = " Note: Using " + strPath + " Version " + strVersion;
  const voltrane::CDatabaseConnectionObj* oDBConnection = session_.FallbackConnection();
  if (oDBConnection && dialect().connection_fallbacks) {
    const std::string strAltered = session_.BuildAlteredConnectionString(*oDBConnection);
    if (strAltered != session_.ConnectionStringAsGiven()) {
      strError += "\r\nUsing altered connection string: " + strAltered;
    }
  }
  WriteExtendedErrorLog(strError);
  WriteExtendedErrorLog("Connection string: " + session_.ConnectionStringAsGiven());
  session_.SetV12Database(DetectV12Database());
  if (!IsV12Database()) {
    strError += " Not a v12 Database";
    return false;
  }
  WriteExtendedErrorLog("Got a v12 Database");
  // A group's start work fills them once, for every member (RunStartupChecks).
  if (!group_) FillMissingStandardTimes(strError);
  return false;
}

bool LogProcessor::DetectV12Database() {
  dbaccess::RecordsetPtr rs =
      OpenQuery("SELECT * from T_SFC_MACHINE_DATA " + voltrane::NoLockHint(DatabaseType()) +
                " where MACHINE_DATA_ID = " + "-1");
  bool bV12 = true;
  for (const char* column :
       {"PART_SERIAL_NO_ID", "PART_SERIAL_NO", "SERIAL_NO_DATA_START_ID", "STANDARD_TIME"}) {
    bool bFound = false;
    // Field names are matched as the recordset's Fields() matches them:
    // without regard to case (PostgreSQL reports them in lower case).
    for (const dbaccess::ColumnInfo& info : rs->Columns()) {
      bFound = bFound || strcasecmp(info.name.c_str(), column) == 0;
    }
    if (!bFound) {
      bV12 = false;
      break;
    }
  }
  CloseRecordset(rs);
  return bV12;
}

void LogProcessor::FillMissingStandardTimes(std::string& strError) {
  using namespace voltrane;
  std::string strFailure;
  if (dialect().joined_update) {
    const std::string sql = QBUpdate(
        DatabaseType(), "T_SFC_MACHINE_DATA", "md",
        "left JOIN T_SFC_MACHINE_PPH pph on (md.MACHINE_ID = pph.MACHINE_ID and md.PART_ID = "
        "pph.PART_ID)",
        "Set STANDARD_TIME =" +
            IIF(DatabaseType(), "pph.CYCLE_TIME is NULL", "0", "pph.CYCLE_TIME"),
        "where md.STANDARD_TIME is NULL");
    if (!ExecuteSQL(sql, strFailure)) strError += strFailure + " while updating STANDARD_TIME's";
    return;
  }
  // The correlated form: records without a rate of their machine and part
  // keep null in the first statement and get 0 in the second.
  // SQLite takes a table alias in an update only after AS; Oracle refuses AS.
  const std::string table =
      dialect().update_alias_takes_as ? "T_SFC_MACHINE_DATA AS md1" : "T_SFC_MACHINE_DATA md1";
  const std::string first =
      "UPDATE " + table + " set STANDARD_TIME =(" +
      "Select CASE WHEN pph.CYCLE_TIME is NULL THEN 0 ELSE pph.CYCLE_TIME END" +
      " from T_SFC_MACHINE_DATA md" +
      " inner JOIN T_SFC_MACHINE_PPH pph on (md.MACHINE_ID = pph.MACHINE_ID and md.PART_ID = "
      "pph.PART_ID)" +
      " where md1.MACHINE_DATA_ID = md.MACHINE_DATA_ID" + ") where md1.STANDARD_TIME is null";
  if (!ExecuteSQL(first, strFailure)) {
    strError += strFailure + " while updating STANDARD_TIME's";
    return;
  }
  const std::string second =
      "UPDATE " + table + " set STANDARD_TIME = 0" + " where md1.STANDARD_TIME is null";
  if (!ExecuteSQL(second, strFailure)) {
    strError += strFailure + " while updating STANDARD_TIME's part2";
  }
}

bool LogProcessor::RefillBatchCache(dbaccess::DateTime& dtDatabaseTime, std::string& strError) {
  if (!CommitBatch(strError)) return false;
  if (group_ && group_->TickDue()) group_->Tick();
  bool bCleanStart = false;
  if (!handlers_.events.DoPreProcessCustomCommands(strError, bCleanStart)) return false;
  CloseRecordset(m_rsLog);
  m_rsLog = std::make_shared<dbaccess::Recordset>();
  strError.clear();
  PrepareRecordset(*m_rsLog);
  // A read that found fewer rows than it may take had caught up with the
  // log: the collector may have paused since, and its kept machine state is
  // read again. Through a backlog, read after full read, it is kept.
  if (!m_bLastReadFull) session_.ForgetMachineState();
  OpenRecordset(*m_rsLog, BatchStatement(dialect(), group_ ? group_->BatchCondition() : ""));
  m_bLastReadFull = m_rsLog->RecordCount() >= kBatchSize;
  m_dtCacheRead = clock().Now();
  WriteExtendedErrorLog("Found " + std::to_string(m_rsLog->RecordCount()) + " Entries in Log");
  dtDatabaseTime = GetDatabaseTime();
  const dbaccess::DateTime dtLocal = clock().Now();
  m_sys_date_adjust = static_cast<double>(dtDatabaseTime.MillisecondsSinceEpoch() -
                                          dtLocal.MillisecondsSinceEpoch()) /
                      kMillisecondsPerDay;
  WriteExtendedErrorLog("m_sys_date_adjust = " + dbaccess::Variant(m_sys_date_adjust).ToText());
  return true;
}

bool LogProcessor::ProcessEmptyLog(const dbaccess::DateTime& dtDatabaseTime,
                                   std::string& strError) {
  CloseRecordset(m_rsLog);
  // A group member that holds no partition has no machine to check; a check
  // would only move the downtime timeouts' schedule to the present, past the
  // rows of the partitions it takes next.
  if (group_ && !group_->OwnsAny()) return false;
  monitor_.NoteLogDrained();
  if (group_) group_->NoteDrained();
  WriteExtendedErrorLog("quitting DoNextItemFromMDCLog");
  if (!monitor_.DoAutoEndDowntimes(-1, dtDatabaseTime, strError)) {
    WriteExtendedErrorLog("Errored processing DoAutoEndDowntimes: " + strError);
    return false;
  }
  const dbaccess::DateTime dtNow =
      clock().Now().AddMilliseconds(std::llround(m_sys_date_adjust * kMillisecondsPerDay));
  if (!monitor_.DoCheckForLateHeartBeats(dtNow, strError)) {
    WriteExtendedErrorLog("Errored processing heartbeat: " + strError);
  } else {
    WriteExtendedErrorLog("Log is empty");
  }
  return false;
}

void LogProcessor::HandleOutOfOrderRow(const LogEntry& entry, std::string& strError) {
  using namespace voltrane;
  const int32_t lMDCLogID = entry.lMDCLogID;
  const std::string strKey = std::to_string(lMDCLogID);
  const korvex7::LogRow row{entry.lCommandID,
                            {entry.machine.lMachineID, entry.machine.lGroupID,
                             entry.machine.lLocationID, entry.machine.lDeptID},
                            entry.lCommandTimeCode,
                            entry.dtTime,
                            entry.strParam};
  const std::string strStatement = ReplayLogRowStatement(DatabaseType(), row, lMDCLogID);
  QueueLogRowForDeletion(lMDCLogID);
  WriteExtendedErrorLog("scheduled log MDC_LOG_ID =" + strKey + " for deletion");
  std::string strPathOrError;
  if (WriteDiagnosticLog(strStatement, strPathOrError)) {
    strError += ", See " + strPathOrError + " for details";
  } else {
    strError += ", " + strPathOrError + ", removed entry anyway: " + strStatement;
  }
  strError = ReplaceAll(strError, "log entry", "log entry (" + strKey + ")");
  WriteExtendedErrorLog("Resetting Log cache");
  CloseRecordset(m_rsLog);
  std::string strFlushError;
  if (!CommitBatch(strFlushError)) {
    // The removal went with the batch: the row is read again.
    strError += " - also failed to flush DeleteQueue, error:" + strFlushError;
  } else {
    m_bRowRemovedOutOfOrder = true;
  }
  WriteExtendedErrorLog(strError);
}

// Read through OpenQuery rather than the scalar helper, which would turn a
// lost connection into an empty value: the real error must reach the loop.
dbaccess::DateTime LogProcessor::GetDatabaseTime() {
  dbaccess::RecordsetPtr rs = OpenQuery(dialect().CurrentTimeQuery());
  dbaccess::Variant value;
  if (!rs->Eof()) value = rs->Fields(size_t{0}).Value();
  CloseRecordset(rs);
  if (value.IsNull() || value.IsEmpty()) {
    // A zero date would shift every heartbeat and timeout by a century.
    throw dbaccess::DbError(kErrUnexpected, "The database time could not be read.");
  }
  return value.ToDateTime();
}

int32_t LogProcessor::GetMDCLogCount() {
  WriteExtendedErrorLog("GetMDCLogCount");
  if (CacheUsable(m_rsLog)) {
    WriteExtendedErrorLog("GetMDCLogCount speed up");
    return 1;
  }
  dbaccess::RecordsetPtr rs;
  try {
    const std::string sql =
        "select COUNT(MDC_LOG_ID) AS CT from T_SFC_MDC_LOG " + dialect().SpacedTableHint();
    rs = OpenQuery(sql);
    int32_t lCount = 0;
    if (!rs->Eof()) {
      lCount = rs->Fields("CT").Value().ToLong();
      WriteExtendedErrorLog("GetMDCLogCount = " + std::to_string(lCount));
    }
    CloseRecordset(rs);
    return lCount;
  } catch (...) {
    CloseRecordset(rs);
    RethrowAsComError("Korvex7.CKorvex7Obj.GetMDCLogCount");
  }
}

}  // namespace korvex7::internal
