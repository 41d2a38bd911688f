// LogProcessor: the processing loop over the machine data log
// (processing_loop.cpp). Each DoNextItemFromMDCLog call reads at most one row
// of T_SFC_MDC_LOG, as a LogEntry value, from the batch cache, runs it
// (process_row.cpp: history copy, the monitor's sign of life, the handler,
// the downtime limits) and acts on the RowOutcome: a done row is queued for
// deletion (delete_queue.cpp), a failed one is recorded (failed_rows.cpp),
// an out-of-order one is discarded to the diagnostic log (out_of_order.h,
// diagnostic_log.cpp). Processed rows are copied to the log history first
// (log_history.cpp). An empty log runs the monitor's idle-time checks.
//
// May touch: the session; T_SFC_MDC_LOG and its history and failure tables,
// the diagnostic log file, the designated-PC option. Calls schema
// maintenance (startup checks, table checks), the handlers (the row's
// handler, custom-command pre-processing, cycle status locks), machine
// records (refresh requests) and the monitor.
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_LOG_LOG_PROCESSOR_H_
#define VOLTRANE_LIBRARY_LOG_LOG_PROCESSOR_H_

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "dbaccess/date_time.h"
#include "dbaccess/recordset.h"
#include "library/core/log_entry.h"
#include "library/core/row_outcome.h"
#include "library/korvex7_commands.h"
#include "library/monitor/log_monitor.h"
#include "library/records/record_refresh.h"
#include "library/session/session.h"

struct Korvex7FailedLogItem;      // library/korvex7.h
struct Korvex7ProcessingReport;  // library/korvex7.h

namespace korvex7::internal {

class GroupMember;
class Handlers;
class SchemaMaintenance;

class LogProcessor : public BatchClient {
 public:
  LogProcessor(Session& session, SchemaMaintenance& schema, RecordRefresh& refresh,
               Handlers& handlers, LogMonitor& monitor);
  ~LogProcessor();
  LogProcessor(const LogProcessor&) = delete;
  LogProcessor& operator=(const LogProcessor&) = delete;

  // The public operations of korvex7.h. IsConnected never fails; a cached
  // batch with rows left spares the database its probe.
  bool DoNextItemFromMDCLog(std::string& strError);
  // What the last DoNextItemFromMDCLog call did. Never throws.
  korvex7::ItemOutcome LastItemOutcome() const { return m_lastOutcome; }
  // What was processed and committed since the last call. Never throws.
  void TakeProcessingReport(Korvex7ProcessingReport& report);
  int32_t GetMDCLogCount();
  bool IsConnected();
  // The row the last DoNextItemFromMDCLog call failed on, with the names of
  // its machine and command and its attempts from the table of failed rows
  // (failed_rows.cpp). Never throws.
  bool GetLastFailedLogItem(Korvex7FailedLogItem& item);
  // Commits the open batch and its delete queue; true when there was nothing
  // to commit. Never throws.
  bool CommitProcessedItems(std::string& strError);

  // The database server's current date-time; throws DbError when it cannot be read.
  dbaccess::DateTime GetDatabaseTime();

  // Whether processed rows are copied to T_SFC_MDC_LOG_HIST (option 15 at
  // least 1), creating the table and its index on first use. Throws ComError
  // (-1, "MDCLogHistoryEnabled") when a creation statement fails; history
  // then stays off for the processor's life.
  bool MDCLogHistoryEnabled(int32_t& lHistoryDays);
  // Copies log row lMDCLogID once and trims history older than the retention
  // before dtTimeStamp; "" on success or when history is off.
  std::string CopyLogEntryToHistory(int32_t lMDCLogID, const dbaccess::DateTime& dtTimeStamp);
  // Queues a processed (or discarded) log row for the next FlushDeleteQueue.
  void QueueLogRowForDeletion(int32_t lMDCLogID);
  size_t DeleteQueueCount() const { return m_dictDeleteQueue.size(); }
  // Deletes the processed log rows waiting in m_dictDeleteQueue; true when
  // there was nothing to do or the delete succeeded.
  bool FlushDeleteQueue(std::string& strError);
  // Appends a discarded row's replay statement to MDCService.log in the base
  // folder; true with the file's path, or false with the error text.
  bool WriteDiagnosticLog(const std::string& strStatement, std::string& strPathOrError);
  // The software base folder from the settings store; strRegPath receives the
  // hive and key it came from.
  std::string GetVoltraneSoftwareBasePath(std::string& strRegPath);

  const std::string& DesignatedPC() const { return m_strDesignatedPC; }
  void SetComputerName(const std::string& strName) { m_strComputerName = strName; }
  // The collector group this processor takes part in, and its member name.
  void SetGroupMember(const std::string& strGroup, const std::string& strMember) {
    m_strGroupName = strGroup;
    m_strMemberName = strMember;
  }
  const dbaccess::RecordsetPtr& BatchCache() const { return m_rsLog; }
  // The member's part in its collector group; null outside group mode.
  const GroupMember* Group() const { return group_.get(); }

 private:
  // The body of DoNextItemFromMDCLog.
  bool ProcessNextItem(std::string& strError);
  bool AnnounceVersion(std::string& strError);
  bool DetectV12Database();
  void FillMissingStandardTimes(std::string& strError);
  // Option 14: this computer, or this member of the group it names, may
  // process; false with the refusal otherwise. Joins the group on the way.
  bool CheckDesignation(bool& bFirstCall, std::string& strError);
  // The startup checks, in group mode once per start of the group; false
  // while they have not passed (or another member still runs them).
  bool RunStartupChecks(std::string& strError);
  // Inside the batch's transaction before its commit: the delete queue,
  // then in group mode the leases of the batch's partitions.
  bool BeforeCommit(std::string& strError);
  // Group mode ends: the partitions are released, the member leaves.
  void LeaveGroup();
  // Which machines' rows this processor alone writes, for what the records
  // keep of them (Session::SetMachineOwnerRule): none, every machine (the
  // designated collector), or the machines of the partitions held.
  enum class Ownership { kNone, kDesignated, kPartitions };
  void SetMachineOwnership(Ownership eOwnership);
  bool RefillBatchCache(dbaccess::DateTime& dtDatabaseTime, std::string& strError);
  bool ProcessEmptyLog(const dbaccess::DateTime& dtDatabaseTime, std::string& strError);
  // Runs one row the loop read (process_row.cpp); database errors outside
  // the handlers escape.
  RowOutcome ProcessRow(const LogEntry& entry, std::string& strError);
  void HandleOutOfOrderRow(const LogEntry& entry, std::string& strError);
  // Undoes a failing row's work, records its failure and ends its savepoint.
  void KeepRowInLog(const LogEntry& entry, const std::string& strError);
  // After a batch that was not committed: the delete queue, the batch cache
  // and every cache that may hold what the batch did are built again from the
  // database.
  void ForgetBatchCaches(bool bBatchWasOpen);
  // Failed rows (failed_rows.cpp): records the failure of a log entry in the
  // table of failed rows. Never throws.
  void RecordFailedRow(const LogEntry& entry, const std::string& strError);
  bool FailedRowsTableReady();

  SchemaMaintenance& schema_;
  RecordRefresh& refresh_;
  Handlers& handlers_;
  LogMonitor& monitor_;

  korvex7::ItemOutcome m_lastOutcome = korvex7::ItemOutcome::kNoProgress;
  int32_t m_lRunCommandID = -1;                // COMMAND_ID of the row the last call ran
  std::map<int32_t, int64_t> m_processedRows;  // by COMMAND_ID, since the last report
  std::map<int32_t, int64_t> m_failedRows;     // by COMMAND_ID, since the last report
  bool m_bRowRemovedOutOfOrder = false;  // the current call removed its row as out of order
  bool m_bLastRowFailed = false;                     // the last processed row left an error text
  double m_sys_date_adjust = 0;                      // days: database clock minus local clock
  std::map<std::string, int32_t> m_dictDeleteQueue;  // "<MDC_LOG_ID>L" -> MDC_LOG_ID
  int32_t m_lHistoryDays = -1;                       // -1 not yet read, 0 history off
  bool m_bFailedRowsTableReady = false;              // T_SFC_MDC_LOG_FAILURE seen to exist
  std::optional<LogEntry> m_failedEntry;             // the row the last call failed on
  std::string m_strFailedError;                      // and the text it failed with
  std::string m_strComputerName;
  std::string m_strDesignatedPC;
  std::string m_strGroupName;   // "" any group the database names
  std::string m_strMemberName;  // "" not a member of a collector group
  dbaccess::DateTime m_dtLastEntry;
  dbaccess::DateTime m_dtCacheRead;  // when the batch cache was last read
  dbaccess::RecordsetPtr m_rsLog;  // the batch cache
  std::unique_ptr<GroupMember> group_;  // set while taking part in a collector group
  std::set<int32_t> m_batchPartitions;  // the partitions of the last batch's rows
  bool m_bStartupChecksPending = true;
  Ownership m_eOwnership = Ownership::kNone;
  bool m_bLastReadFull = false;  // the last batch cache read took all the rows it may
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_LOG_LOG_PROCESSOR_H_
