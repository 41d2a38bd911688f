// CKorvex7Obj: the machine data library object. One instance owns one
// database connection and all state of the log processing loop; outside
// clients connect it and append commands, the collector service connects it
// and drives DoNextItemFromMDCLog.
//
// The public operations are those of _CKorvex7Obj (korvex7.h). The protected
// helpers (statement execution, recordsets, transactions, waits) are the
// shared services every feature of the library builds on; they live in files
// named after their concept (sql_helpers.cpp, transactions.cpp, ...).
//
// The row being processed is a value (LogEntry, log_entry.h): the loop reads
// it, ProcessCommand hands its parts to the handler, and nothing of it is
// kept after the row; the loop acts on ProcessCommand's RowOutcome. Every
// handler runs in RunHandlerTransaction, their one error path. The README's
// layout section maps the files to the way of one row.
//
// Failures: operations with a strError argument return false with a text;
// ConnectToDatabase, GetConnectionString and the operations without strError
// let unexpected failures escape as ComError; IsConnected never fails.
// Threading: an instance is used by the thread that created it. Every wait
// goes through the injected Clock.
#ifndef VOLTRANE_LIBRARY_KORVEX7_OBJ_H_
#define VOLTRANE_LIBRARY_KORVEX7_OBJ_H_

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dbaccess/clock.h"
#include "dbaccess/connection.h"
#include "dbaccess/database_connection.h"
#include "dbaccess/date_time.h"
#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"
#include "library/command_dispatch_table.h"
#include "library/heart_beat_info.h"
#include "library/korvex7.h"
#include "library/log_entry.h"
#include "library/machine_data_kinds.h"
#include "library/row_outcome.h"

enum class HandlerOutcome;  // handler_outcome.h

// What AutoJobCreate did. Without any part to give the job the result is
// kNoCurrentPart (its text in strError), which the job handler takes as "the
// job stays a number", not as a failure.
enum class JobCreation { kCreated, kNotCreated, kNoCurrentPart };

class CKorvex7Obj : public _CKorvex7Obj {
 public:
  explicit CKorvex7Obj(std::shared_ptr<dbaccess::Clock> clock = dbaccess::DefaultClock());
  ~CKorvex7Obj() override;
  CKorvex7Obj(const CKorvex7Obj&) = delete;
  CKorvex7Obj& operator=(const CKorvex7Obj&) = delete;

  bool IsConnected() override;
  bool ConnectToDatabase(const std::string& strConnectionString, int32_t lDatabaseType,
                         std::string& strError) override;
  bool AppendItemToMDCLog(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                          int32_t lMachineID, int32_t lCommandID, const std::string& strParam,
                          int32_t lCommandTimeCode, std::string& strError) override;
  bool AppendItemToMDCLogDNC(int32_t lDeptVoltraneID, int32_t lLocationVoltraneID,
                             int32_t lGroupVoltraneID, int32_t lMachineVoltraneID,
                             int32_t lCommandVoltraneID, const std::string& strParam,
                             int32_t lCommandTimeCode, std::string& strError) override;
  bool DoNextItemFromMDCLog(std::string& strError) override;
  int32_t GetMDCLogCount() override;
  void CompleteMachineDataRecord(int32_t lMachineDataID) override;
  std::string GetConnectionString() override;
  bool ConnectToDatabaseVBS(const std::string& strConnectionString, int32_t lDatabaseType,
                            dbaccess::Variant& strError) override;
  bool AppendItemToMDCLog2VBS(const std::string& strMachineNumber, int32_t lCommandTypeCode,
                              const std::string& strParam, int32_t lCommandTimeCode,
                              dbaccess::Variant& strError) override;
  bool AppendItemToMDCLog2(const std::string& strMachineNumber, int32_t lCommandTypeCode,
                           const std::string& strParam, int32_t lCommandTimeCode,
                           std::string& strError) override;
  bool AppendItemToMDCLogVBS(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                             int32_t lMachineID, int32_t lCommandID, const std::string& strParam,
                             int32_t lCommandTimeCode, dbaccess::Variant& strError) override;
  std::string CastToNumeric(std::string& strColExpression) override;
  bool DoPreProcessCustomCommands(std::string& strError, bool& bCleanStart) override;
  void InstallStoredProcedures(std::string& strError) override;
  void CheckAndFixMachines(std::string& strError) override;
  void StartupDatabaseChecksAndUpdates(std::string& strError) override;

  // The database kind given to the last ConnectToDatabase.
  int32_t DatabaseType() const { return m_lDatabaseType; }

 protected:
  // Connection (open_connection.cpp). Returns the connection, open or not;
  // lErrNumber is 0 when it opened. Never throws.
  dbaccess::ConnectionPtr OpenConnection(const std::string& strConnectionString,
                                         int32_t lDatabaseType, int32_t& lErrNumber,
                                         std::string& strErrDescription);
  // The stored-form connection string of the fallback connection's properties.
  std::string BuildAlteredConnectionString(const voltrane::CDatabaseConnectionObj& oDBConnection);

  // Statements (sql_helpers.cpp). Each writes its SQL to the extended error
  // log first and reports failure as "Error # <number>:<description>".
  bool ExecuteSQL(const std::string& strSQL, std::string& strError);
  bool ExecuteSQLCounted(const std::string& strSQL, std::string& strError,
                         int32_t& lRecordsAffected);
  // Traces and executes, letting a database error reach the caller (DbError):
  // for statements inside a handler's transaction.
  void ExecuteStatement(const std::string& strSQL);
  bool ExecuteWithRetry(const std::string& strSQL, std::string& strError,
                        int32_t& lRecordsAffected);

  // Recordsets (sql_helpers.cpp). OpenQuery and OpenRecordset throw DbError;
  // CloseRecordset and the scalar reads never throw.
  void PrepareRecordset(dbaccess::Recordset& rs);
  void OpenRecordset(dbaccess::Recordset& rs, const std::string& strSQL);
  dbaccess::RecordsetPtr OpenQuery(const std::string& strSQL, bool bServerCursor = false);
  void CloseRecordset(dbaccess::RecordsetPtr& rs);
  std::string GetScalarText(const std::string& strSQL, dbaccess::Variant* vSecondColumn = nullptr);
  dbaccess::Variant GetScalarValue(const std::string& strSQL);

  // Transactions (transactions.cpp): up to 12 attempts, 999 ms apart, when
  // called with 1. False when every attempt failed.
  bool BeginTransaction(int32_t lAttempt = 1);
  bool CommitTransaction(int32_t lAttempt = 1);
  bool RollbackTransaction(int32_t lAttempt = 1);
  // Runs one handler's work (handler_transaction.cpp), the one error path
  // of every handler. With bOwnTransaction it begins a transaction first
  // (failing that: message lLockedMessageID) and commits after a body that
  // ended kDone or kIgnored (failing that: rolled back, same message); a body
  // that ended kFailed (strError set by it) or threw is rolled back, a thrown
  // error's description becoming strError. Without bOwnTransaction the
  // caller's transaction is left to the caller. True only for kDone; an
  // ignored command (see handler_outcome.h) returns false with an empty text.
  bool RunHandlerTransaction(bool bOwnTransaction, int32_t lLockedMessageID, std::string& strError,
                             const std::function<HandlerOutcome()>& body);
  // The same for a body that either succeeds (true) or fails (false).
  bool RunHandlerTransaction(bool bOwnTransaction, int32_t lLockedMessageID, std::string& strError,
                             const std::function<bool()>& body);

  // Processing options, rows of T_SFC_OPTION with application code 2
  // (options.cpp). GetBoolOption lets a database error or a value that is not
  // a number escape as DbError; the others report failure by their result.
  bool GetBoolOption(int32_t lOptionCode);
  bool GetIntOption(int32_t lOptionCode, int32_t& lValue);
  bool GetStringOption(int32_t lOptionCode, std::string& strValue);
  bool GetNumOption(int32_t lOptionCode, int32_t& lValue);
  bool SetStringOption(int32_t lOptionCode, const std::string& strValue);

  // Reference data: lookups of keys by name or number, display texts, the
  // creation of unknown jobs, parts, operations and serial numbers, and the
  // audit trail of T_SFC_HISTORY (reference_lookups.cpp, display_texts.cpp,
  // auto_create.cpp, audit_history.cpp). Lookups give -1 when nothing
  // matches; job, operation, part and serial numbers are compared and stored
  // in upper case. Lookups, GetPartSerialNoID, CreateAsset and WriteHistory
  // let a database error reach the calling handler (DbError); the Auto...Create
  // operations catch every error and report it through strError.
  int32_t GetUserIDByName(const std::string& strUserName);
  int32_t GetJobIDByNumber(const std::string& strJobNumber);
  int32_t GetOpIDByNumber(const std::string& strOpNumber);
  // vPartTypeID gets the part's PART_TYPE_ID as stored (null stays null), -1
  // when no part is found.
  int32_t GetPartIDByNumber(const std::string& strPartNumber, dbaccess::Variant& vPartTypeID);
  // Creates the serial number when it is unknown and option 6 is on.
  int32_t GetPartSerialNoID(int32_t lPartID, const std::string& strSerialNo);
  // lDowntimeType 0 (machine) or 1 (user); codes of type 2 match both.
  int32_t GetDowntimeCodeID(const std::string& strCodeNumber, int32_t lDowntimeType);
  int32_t GetScrapCodeID(const std::string& strCodeNumber);
  std::string GetDefaultScrapCodeNumber();  // "-1" when no code is the default
  std::string GetFirstPartNumberForJob(const std::string& strJobNumber);  // "" when none
  bool HasPartEventRow(int32_t lMachineID);
  // "user - first last" of the machine's current record, "<No User>" when
  // none; lUserID -1 when none.
  std::string GetMachineUserDisplay(int32_t lMachineID, int32_t& lUserID);
  std::string GetJobDisplayName(int32_t lJobID);  // "number - name", "" when none

  // True when a row was created; false when the option is off or on failure
  // (strError then holds the reason when there is one).
  bool AutoPartCreate(const std::string& strPartNumber, int32_t& lPartID,
                      dbaccess::Variant& vPartTypeID, int32_t lMachineID, std::string& strError);
  bool AutoOpCreate(const std::string& strOpNumber, int32_t& lOpID, int32_t lMachineID,
                    std::string& strError);
  // lPartID -1: the part of the machine's current record is used.
  JobCreation AutoJobCreate(const dbaccess::DateTime& dtTimeStamp, const std::string& strJobNumber,
                            int32_t& lJobID, int32_t lMachineID, std::string& strError,
                            int32_t& lPartID);
  int32_t CreateAsset(int32_t lTargetID, int32_t lTableCode);
  // Ids of -1 are written as null; lUserID -1 leaves USER_ID unset.
  void WriteHistory(int32_t lTargetID, int32_t lTableCode, int32_t lActionCode,
                    const std::string& strNotes, const std::string& strComponentName,
                    const std::string& strECN, int32_t lDeptID, int32_t lLocationID,
                    int32_t lGroupID, int32_t lMachineID, int32_t lUser2ID, int32_t lJobID,
                    int32_t lPartTypeID, int32_t lPartID, int32_t lUserID, int32_t& lHistoryID);
  // Adds one row to strTable through an updatable recordset that selects no
  // row, gives it its asset row (lTableCode) and returns the new key.
  int32_t AddRowWithAsset(const std::string& strTable, const std::string& strKeyColumn,
                          const std::vector<std::pair<std::string, dbaccess::Variant>>& columns,
                          int32_t lTableCode);
  // The "record added" history line of a created job, part or operation.
  void WriteAddedHistory(int32_t lTargetID, int32_t lTableCode, const std::string& strWhat,
                         const std::string& strNumber, int32_t lMachineID);

  // Schema maintenance, log history, delete queue and diagnostic log
  // (schema_existence.cpp, log_history.cpp, delete_queue.cpp,
  // diagnostic_log.cpp). The existence checks read false on any failure.
  bool TableExists(const std::string& strTableName);
  bool IndexExists(const std::string& strTable, const std::string& strColumn);
  // Whether processed rows are copied to T_SFC_MDC_LOG_HIST (option 15 at
  // least 1), creating the table and its index on first use. Throws ComError
  // (-1, "MDCLogHistoryEnabled") when a creation statement fails; history
  // then stays off for the object's life.
  bool MDCLogHistoryEnabled(int32_t& lHistoryDays);
  // Copies log row lMDCLogID once and trims history older than the retention
  // before dtTimeStamp; "" on success or when history is off.
  std::string CopyLogEntryToHistory(int32_t lMDCLogID, const dbaccess::DateTime& dtTimeStamp);
  // Queues a processed (or discarded) log row for the next FlushDeleteQueue.
  void QueueLogRowForDeletion(int32_t lMDCLogID);
  size_t DeleteQueueCount() const { return m_dictDeleteQueue.size(); }
  // Appends a discarded row's replay statement to MDCService.log in the base
  // folder; true with the file's path, or false with the error text.
  bool WriteDiagnosticLog(const std::string& strStatement, std::string& strPathOrError);
  // The software base folder from the settings store; strRegPath receives the
  // hive and key it came from.
  std::string GetVoltraneSoftwareBasePath(std::string& strRegPath);

  // Waits at least lMilliseconds on the object's clock (one-second resolution).
  void WaitMilliseconds(int64_t lMilliseconds);

  // Deletes the processed log rows waiting in m_dictDeleteQueue; true when
  // there was nothing to do or the delete succeeded. Inside the batch
  // transaction, just before it commits (CommitBatch).
  bool FlushDeleteQueue(std::string& strError);

  // Log intake: the machine and command lookups shared by the intake and the
  // handlers (machine_lookups.cpp, command_lookups.cpp). GetMachineHierarchy
  // and GetCommandIDForType let a database error reach the caller (so does
  // GetCommandIDForType for a type code without any command); the others
  // report a failure as their "not found" result.
  bool GetMachineHierarchy(int32_t lMachineID, int32_t& lDeptID, int32_t& lLocationID,
                           int32_t& lGroupID);
  bool CountLogRowsForMachine(int32_t lMachineID);
  int32_t GetMachineIDForVoltraneID(int32_t lMachineVoltraneID);
  int32_t GetCommandIDForType(int32_t lCommandTypeCode);
  int32_t GetCommandTypeCode(int32_t lCommandID);

  // Command dispatch, event records and the processing loop
  // (command_dispatch.cpp, event_records.cpp, custom_commands.cpp,
  // processing_loop.cpp). ProcessCommand runs one log row, read by the loop;
  // what the loop does with the row is its result (see row_outcome.h).
  // PostHeartbeatCommand runs the handler of a synthetic command; a failure
  // is traced, the handler's text handed over. Database errors outside the
  // handlers escape.
  RowOutcome ProcessCommand(const LogEntry& entry, std::string& strError);
  void PostHeartbeatCommand(const LogEntry& command, std::string& strError);
  // Opens an event (ending the open one of the same command and machine);
  // returns its key, 0 for a "both" event on SQL Server. Throws ComError
  // (source "AddEventRecord") naming the step that failed.
  int32_t AddEventRecord(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                         int32_t lCommandID, const std::string& strParam,
                         const dbaccess::DateTime& dtCurrentTime, bool bBoth);
  // Ends the open event of the command on the machine; retries 12 times, 5 s
  // apart, then returns false. pbEnded: whether an open event was ended.
  bool SetEventStopTime(int32_t lMachineID, int32_t lCommandID,
                        const dbaccess::DateTime& dtCurrentTime, int32_t lAttempt,
                        bool* pbEnded = nullptr);
  bool DoCustomStart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                     int32_t lCommandID, const std::string& strParam,
                     const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoCustomEnd(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                   int32_t lCommandID, const dbaccess::DateTime& dtCurrentTime,
                   std::string& strError);
  bool DoCustomBoth(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                    int32_t lCommandID, const std::string& strParam,
                    const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  // The database server's current date-time; throws DbError when it cannot be read.
  dbaccess::DateTime GetDatabaseTime();
  bool LogDrained() const { return m_bLogDrained; }
  bool IsV12Database() const { return m_bV12Database; }
  const std::string& DesignatedPC() const { return m_strDesignatedPC; }
  void SetComputerName(const std::string& strName) { m_strComputerName = strName; }
  const dbaccess::RecordsetPtr& BatchCache() const { return m_rsLog; }

  // Machine data records (machine_data_records.cpp, machine_data_validation.cpp,
  // machine_status.cpp). They run inside the calling handler's transaction
  // and let database errors reach it (DbError or ComError).
  // lShiftID and dtShiftEnd are passed by the expired-shift handling only and
  // never reach the new record, whose caller writes the shift columns itself.
  // A machine's first record (no previous one) takes the keys of `machine`.
  int32_t CreateNextMachineDataRecord(const MachineKeys& machine, int32_t lPrevMachineDataID,
                                      MachineDataSplitKind eKind, const dbaccess::DateTime& dtTime,
                                      std::optional<int32_t> lShiftID = std::nullopt,
                                      std::optional<dbaccess::DateTime> dtShiftEnd = std::nullopt);
  void PrepareMachineDataRecordForCompletion(int32_t lMachineDataID,
                                             const dbaccess::DateTime& dtStopTime);
  // True when the record is invalid; the first failing check is traced.
  bool ValidateMachineDataRecord(int32_t lMachineDataID);
  // The record split of the reference handlers: rsCurrent is the handler's
  // open current record (any changes it made are saved with STOP_TIME);
  // writeNew receives the new record, open and positioned, and the split
  // saves it afterwards. Returns the new record's id.
  int32_t SplitMachineDataRecord(int32_t lMachineID, dbaccess::Recordset& rsCurrent,
                                 MachineDataSplitKind eKind, const dbaccess::DateTime& dtTime,
                                 const std::function<void(dbaccess::Recordset&)>& writeNew);
  // Brings the machine's records up to dtTime (inside the caller's
  // transaction) and returns the id of the record current afterwards.
  // Throws OutOfOrderRow for a time older than the machine has recorded.
  int32_t GetCurrentMachineDataID(const MachineKeys& machine, const dbaccess::DateTime& dtTime);
  // Opens "select * from T_SFC_MACHINE_DATA ... where MACHINE_DATA_ID = id".
  dbaccess::RecordsetPtr OpenMachineDataRecord(int32_t lMachineDataID);
  void SetMachineDataPointer(int32_t lMachineID, int32_t lMachineDataID);
  void SetMachineStatus(int32_t lMachineID, int32_t lStatusCode,
                        const dbaccess::DateTime& dtStatusDate);
  int32_t GetMachineStatus(int32_t lMachineID);
  // -1 when the machine has no row; lDowntimeCodeID is left unchanged when no
  // downtime of the current record is open.
  int32_t GetMachineStatusAndDowntime(int32_t lMachineID, int32_t& lDowntimeCodeID);
  double GetStandardCycleTime(int32_t lMachineID, int32_t lPartID);
  // SQL Server only: one batch inserting the row and reading SCOPE_IDENTITY().
  bool InsertReturningIdentity(const std::string& strTable, const std::string& strColumns,
                               const std::string& strValues, int32_t& lNewID,
                               std::string& strError);

  // Parts of the record operations above.
  int32_t StoreMachineDataRecord(const std::vector<std::pair<std::string, dbaccess::Variant>>& row);
  void CarryOpenDowntimes(int32_t lPrevMachineDataID, int32_t lNewMachineDataID,
                          const dbaccess::DateTime& dtTime);
  std::string FirstValidationFailure(int32_t lMachineDataID);  // "" when valid
  bool AnyUnresolvedRow(const std::string& strSQL, const char* strID, const char* strDataStart);

  // Expired shifts (expired_shifts.cpp): one pass closes the current record
  // at its boundary and opens the next.
  struct ShiftPass {
    int32_t lRecordID = -1;  // the current record, -1 when none
    dbaccess::DateTime dtRecordStart;
    dbaccess::DateTime dtLatest;  // the record's latest start of anything
    int64_t lLatestMoment = INT64_MIN;  // dtLatest as an instant (UTC ms), to the second
    dbaccess::DateTime dtBoundary;
    int32_t lShiftID = -1;
    std::string strUserName;
    std::optional<dbaccess::DateTime> dtPendingRealEnd;  // a swing record ends at midnight first
  };
  bool BringRecordsUpTo(const MachineKeys& machine, const dbaccess::DateTime& dtTime,
                        int32_t& lMachineDataID, bool bOwnTransaction);
  ShiftPass ReadCurrentShiftRecord(int32_t lMachineID, const dbaccess::DateTime& dtTime);
  void RefuseOutOfOrder(const ShiftPass& pass, const dbaccess::DateTime& dtTime);
  void ComputeBoundary(int32_t lMachineID, ShiftPass& pass);
  int32_t CloseRecordAtBoundary(const MachineKeys& machine, ShiftPass& pass);
  dbaccess::DateTime WriteShiftOfNextRecord(int32_t lMachineID, int32_t lNextID, ShiftPass& pass,
                                            int32_t lNewShiftID, bool bIsSwing,
                                            const dbaccess::DateTime& dtBoundary,
                                            const dbaccess::DateTime& dtShiftStop,
                                            const dbaccess::DateTime& dtChartDate);

  // Shift calendar (shift_calendar.cpp). Interval times live on 1970-01-01
  // (swing stops on 1970-01-02). A machine without any shift has a midnight
  // boundary with shift key -1 each day.
  void DetermineChartDateAndShiftInfo(const dbaccess::DateTime& dtTime, int32_t lMachineID,
                                      const std::string& strUserName, bool bInclusive,
                                      dbaccess::DateTime& dtChartDate, int32_t& lShiftID,
                                      bool& bIsSwing, dbaccess::DateTime& dtShiftStart,
                                      dbaccess::DateTime& dtShiftStop);
  dbaccess::DateTime GetNextShiftStart(const dbaccess::DateTime& dtTime, int32_t lMachineID,
                                       int32_t& lShiftID, bool& bIsSwing);
  std::string FilterShiftsForMachine(const std::string& strQuery, int32_t lMachineID);

  // Logon, job, operation, part and serial-number handlers
  // (logon_handlers.cpp, job_handlers.cpp, operation_handlers.cpp,
  // part_handlers.cpp, serial_number_handlers.cpp). Each returns true on
  // success and fills strError on failure.
  bool DoLogonStart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                    const std::string& strUserName, const dbaccess::DateTime& dtCurrentTime,
                    std::string& strError, bool bNoTransaction = false);
  bool DoLogonEnd(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                  const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoJobStart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                  const std::string& strJobNumber, const dbaccess::DateTime& dtCurrentTime,
                  std::string& strError);
  bool DoJobEnd(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoOpStart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                 const std::string& strOpNumber, const dbaccess::DateTime& dtCurrentTime,
                 std::string& strError);
  bool DoOpEnd(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
               const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  // bTransactionOpen: false on entry makes the handler begin and commit its
  // own transaction; true runs it inside the caller's.
  bool DoPartStart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                   const std::string& strPartNumber, const dbaccess::DateTime& dtCurrentTime,
                   std::string& strError, bool& bTransactionOpen);
  bool DoPartEnd(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                 const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoPartSerialNoStart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                           int32_t lMachineID, const std::string& strSerialNo,
                           const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoPartSerialNoEnd(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                         const dbaccess::DateTime& dtCurrentTime, std::string& strError,
                         bool bTransactionOpen);
  // Begins a transaction unless bTransactionOpen (and sets it); a failure,
  // the begin's included, escapes as an exception for the caller to report.
  bool FindSerialOnOtherMachine(const std::string& strSerialNo, const MachineKeys& machine,
                                const dbaccess::DateTime& dtCurrentTime, bool& bTransactionOpen,
                                int32_t& lOtherMachineID);
  // Steps shared by these handlers, in the files of the handlers they serve.
  // Closes only the first open user downtime of the record.
  void CloseFirstOpenUserDowntime(int32_t lMachineDataID, const dbaccess::DateTime& dtTime);
  // SHIFT_ID, SHIFT_END and CHART_DATE of the shift the user works at dtTime.
  void WriteShiftColumns(dbaccess::Recordset& rs, int32_t lMachineID,
                         const dbaccess::DateTime& dtTime, const std::string& strUserName);
  // The part columns of a found part (lPartID not -1) or an unresolved number.
  void WritePartColumns(dbaccess::Recordset& rs, int32_t lMachineID, int32_t lPartID,
                        const dbaccess::Variant& vPartTypeID, const std::string& strPartNumber);
  // Creates the job whose number was entered unresolved in this very record
  // before its part was known, and links the record to it.
  void CreateDeferredJob(dbaccess::Recordset& rs, int32_t lMachineID, int32_t lPartID,
                         const dbaccess::DateTime& dtTime, std::string& strError);
  // Writes this machine's good and scrapped totals of the job into the job's
  // part list rows; false with the failing statement's error text.
  bool BookJobQuantities(int32_t lMachineID, int32_t lJobID, std::string& strError);
  // Ends the serial number held by the current record lCurrentID: stops the
  // serial event and, only when the record holds a serial number, counts a
  // running cycle as unfinished in the closing record and splits it
  // (lCurrentID then names the new record; bCutCycle tells whether a cycle
  // was counted). bRestartCycleEvent also restarts the cycle event at the
  // cut; the part handlers restart it once themselves. False when an event
  // could not be ended.
  bool EndRunningSerialNumber(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                              int32_t lMachineID, int32_t& lCurrentID,
                              const dbaccess::DateTime& dtTime, bool bRestartCycleEvent,
                              bool& bCutCycle);

  // Setup, teardown, cycle, downtime, idle and part-count handlers and the
  // cycle status lock (activity_handlers.cpp, downtime_handlers.cpp,
  // part_count_handlers.cpp, cycle_status_lock.cpp). A command the lock
  // filters returns false with an empty strError.
  void StopCurrentActivity(int32_t lMachineDataID, const dbaccess::DateTime& dtCurrentTime,
                           int32_t lMachineID, int32_t lNewActivity);
  bool DoSetupStart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                    const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoSetupEnd(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                  const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoTeardownStart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                       const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoTeardownEnd(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                     const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoCycleStart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                    const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoCycleEnd(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                  const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoMachineDowntimeStart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                              int32_t lMachineID, const std::string& strCodeNumber,
                              const dbaccess::DateTime& dtCurrentTime, std::string& strError,
                              bool bLateHeartBeat = false);
  bool DoMachineDowntimeEnd(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                            int32_t lMachineID, const dbaccess::DateTime& dtCurrentTime,
                            std::string& strError);
  bool DoUserDowntimeStart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                           int32_t lMachineID, const std::string& strCodeNumber,
                           const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoUserDowntimeEnd(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                         const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoGoodPartCount(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                       const std::string& strCount, const dbaccess::DateTime& dtCurrentTime,
                       std::string& strError);
  bool DoScrappedPartCount(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                           int32_t lMachineID, const std::string& strParam,
                           const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  bool DoIdleStart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                   const dbaccess::DateTime& dtCurrentTime, std::string& strError);
  // The parameterised query (@MachineID, @DowntimeCodeID) that finds a
  // machine's current downtime of a code with the machine's STATUS_DATE.
  std::string CurrentDowntimeQueryText();
  bool IsCommandLocked(int32_t lMachineID, int32_t lStatus, int32_t lKind, int32_t lDowntimeCodeID,
                       const std::string& strEndName);
  // Shared steps of those handlers (activity_handlers.cpp,
  // activity_rows.cpp, part_count_handlers.cpp).
  // Ends the open events of the commands of these type codes, in order;
  // false at the first that cannot be ended.
  bool StopEventsOfTypes(int32_t lMachineID, std::initializer_list<int32_t> alTypeCodes,
                         const dbaccess::DateTime& dtCurrentTime);
  // Closes the first open downtime row of the record with that
  // DOWNTIME_TYPE_CODE at the time.
  void CloseOpenDowntime(int32_t lMachineDataID, int32_t lDowntimeTypeCode,
                         const dbaccess::DateTime& dtCurrentTime);
  // Opens a downtime row of the record with the code triple (lCodeID -1: the
  // number is kept and the row is its own data start); returns its key.
  int32_t AddDowntimeRow(int32_t lMachineDataID, int32_t lDowntimeTypeCode, int32_t lCodeID,
                         const std::string& strCodeNumber, const dbaccess::DateTime& dtCurrentTime);
  // Adds a scrap row of the record, with the same rule for its code triple.
  void AddScrapRow(int32_t lMachineDataID, int32_t lQuantity, int32_t lCodeID,
                   const std::string& strCodeNumber, const dbaccess::DateTime& dtCurrentTime);
  // Starts a part with an empty number when the machine's current record has
  // no part, so that cycles and counts belong to a part record.
  bool EnsureCurrentRecordHasPart(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                                  int32_t lMachineID, const dbaccess::DateTime& dtCurrentTime,
                                  std::string& strError);
  HandlerOutcome StartActivity(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                               int32_t lMachineID, int32_t lMachineDataID,
                               const dbaccess::DateTime& dtCurrentTime, int32_t lLockedMessage,
                               std::initializer_list<int32_t> alStopTypes, int32_t lActivity,
                               std::string& strError);
  bool EndActivity(const MachineKeys& machine, const dbaccess::DateTime& dtCurrentTime,
                   int32_t lLockedMessage, int32_t lEventType, const char* strEndName,
                   std::string& strError);
  // With option 23 a count ends the open cycle event and starts the next;
  // false when the open one cannot be ended.
  bool MarkCountCycleBoundary(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                              int32_t lMachineID, const dbaccess::DateTime& dtCurrentTime);
  // Runs a count's steps on the current record, after the part check.
  bool CountParts(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID, int32_t lMachineID,
                  const dbaccess::DateTime& dtCurrentTime, int32_t lLockedMessage,
                  const std::function<HandlerOutcome(int32_t)>& count, std::string& strError);

  // Heartbeat and downtime-timeout monitor (heart_beat_monitor.cpp,
  // late_heart_beat_check.cpp, downtime_timeouts.cpp). The monitor changes
  // machine state only through the downtime handlers and synthetic commands;
  // every time comes from the caller (a row's time or the database clock).
  // Virtual so that loop tests can stand in for their outcomes.
  //
  // RecordHeartBeat reports every error itself as "Error processing
  // heartbeat for Machine_id=..."; DoCheckForLateHeartBeats gives the failing
  // step after the error text; DoAutoEndDowntimes lets database errors escape.
  virtual bool RecordHeartBeat(const LogEntry& row, std::string& strError);
  virtual bool DoAutoEndDowntimes(int32_t lMachineID, const dbaccess::DateTime& dtTime,
                                  std::string& strError);
  virtual bool DoCheckForLateHeartBeats(const dbaccess::DateTime& dtDatabaseTime,
                                        std::string& strError);
  // Builds the heartbeat table cache once per object; every supervised
  // machine starts with a full timeout from dtTime. A read error escapes and
  // leaves the cache empty.
  void LoadHeartBeatTable(const dbaccess::DateTime& dtTime);
  // The COMMAND_IDs of the type codes joined by ","; a type code without a
  // command escapes as an error.
  std::string GetCommandIDList(const std::vector<int32_t>& alCommandTypeCodes);

  dbaccess::Clock& clock() { return *m_clock; }
  const dbaccess::ConnectionPtr& connection() const { return m_oConnection; }

 private:
  using HeartBeatTable = std::map<std::string, HeartBeatInfoClass>;

  // Processing loop internals (processing_loop.cpp, command_dispatch.cpp).
  bool AnnounceVersion(std::string& strError);
  bool DetectV12Database();
  void FillMissingStandardTimes(std::string& strError);
  bool RefillBatchCache(dbaccess::DateTime& dtDatabaseTime, std::string& strError);
  bool ProcessEmptyLog(const dbaccess::DateTime& dtDatabaseTime, std::string& strError);
  void HandleOutOfOrderRow(const LogEntry& entry, std::string& strError);
  // Undoes a failing row's work, records its failure and ends its savepoint.
  void KeepRowInLog(const LogEntry& entry, const std::string& strError);
  // Failed rows (failed_rows.cpp): records the failure of a log entry in the
  // table of failed rows. Never throws.
  void RecordFailedRow(const LogEntry& entry, const std::string& strError);
  bool FailedRowsTableReady();
  bool RunCommandHandler(const LogEntry& entry, std::string& strError);
  bool RunMachineStateHandler(CommandHandler handler, const LogEntry& entry, std::string& strError);
  int32_t AddEventRecordByProcedure(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                                    int32_t lMachineID, int32_t lCommandID,
                                    const std::string& strParam,
                                    const dbaccess::DateTime& dtCurrentTime, bool bBoth);
  int32_t AddEventRecordByRecordsets(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                                     int32_t lMachineID, int32_t lCommandID,
                                     const std::string& strParam,
                                     const dbaccess::DateTime& dtCurrentTime, bool bBoth);
  bool SetEventStopTimeByProcedure(int32_t lMachineID, int32_t lCommandID,
                                   const dbaccess::DateTime& dtCurrentTime, bool* pbEnded);
  void SetEventStopTimeByRecordsets(int32_t lMachineID, int32_t lCommandID,
                                    const dbaccess::DateTime& dtCurrentTime, bool* pbEnded);

  // Steps the loop and the dispatcher call around each row (expired_shifts.cpp,
  // the cycle status lock; the monitor's are declared with its block above).
  // Virtual so that tests can stand in for their outcomes (an out-of-order row).
  virtual bool HandleExpiredShifts(const MachineKeys& machine, const dbaccess::DateTime& dtTime,
                                   int32_t& lMachineDataID, bool bOwnTransaction);
  virtual void LoadCycleStatusLocks();

  // Monitor internals (heart_beat_monitor.cpp, late_heart_beat_check.cpp,
  // downtime_timeouts.cpp). Database errors escape to the public steps above.
  // Rows of the machine's current downtime of the late-heartbeat code, with
  // the first row's code and the machine's STATUS_DATE.
  int32_t FindLateHeartBeatDowntime(int32_t lMachineID, int32_t& lCodeID,
                                    dbaccess::DateTime& dtStatusDate);
  // A late machine spoke again while in its late-heartbeat downtime.
  bool LeaveLateHeartBeatDowntime(const LogEntry& row, const dbaccess::DateTime& dtStatusDate,
                                  std::string& strError);
  // Posts the start of the activity the late-heartbeat downtime ended; false
  // when the machine's latest events do not show such an activity.
  bool PostPreviousActivity(const LogEntry& row, std::string& strError);
  bool StartLateHeartBeatDowntime(const std::string& strMachineID, const dbaccess::DateTime& dtNow,
                                  std::string& strStep, std::string& strError);
  void CountDowntimeTimeouts(const dbaccess::DateTime& dtTime);
  bool EndOverdueDowntime(int32_t lMachineID, bool bMachineDowntime,
                          const dbaccess::DateTime& dtTime, std::string& strError);

  // Runs `step` until it does not throw, from attempt lAttempt up to the 12th.
  bool RetryTransactionStep(int32_t lAttempt, const std::function<void()>& step);

  // The batch transaction of the processing loop (batch_transaction.cpp):
  // each row under a savepoint, its removal from the log committed with its
  // effects. OpenRowSavepoint begins the batch when none is open and throws
  // DbError; the others never throw. UndoRowWork rolls the row back to its
  // savepoint, which stays open; CloseRowSavepoint ends it, true when the
  // row's work was kept. A commit that fails abandons the batch: rolled back,
  // and ForgetUncommittedBatch resets every cache that moved on inside it.
  void OpenRowSavepoint();
  bool UndoRowWork();
  bool CloseRowSavepoint();
  bool BatchDue();
  bool CommitBatch(std::string& strError);
  // Commits what a long catch-up has done so far and carries on at the same
  // savepoint level; outside a batch, commits and begins a transaction.
  bool CommitProgress();
  void AbandonBatch();
  void ForgetUncommittedBatch();
  // Savepoint levels: the throwing steps and the transaction calls' forms.
  void PushSavepoint();
  void ReleaseSavepoint();
  void RollbackToSavepoint(int32_t lLevel);
  bool TryPushSavepoint();
  bool TryReleaseSavepoint();
  bool TryRollbackSavepoint();

  std::shared_ptr<dbaccess::Clock> m_clock;

  // Cycle-status locks: options 4 and 5 and every downtime code's lock value.
  int32_t m_lSetupLock = 0;
  int32_t m_lTeardownLock = 0;
  std::optional<std::map<int32_t, int32_t>> m_dictDowntimeLocks;  // none until loaded

  int32_t m_lDatabaseType = 0;
  dbaccess::ConnectionPtr m_oConnection;  // never null; closed until connected
  // Set only when a SQL Server string failed to open directly and the
  // connection class was tried instead.
  std::unique_ptr<voltrane::CDatabaseConnectionObj> m_oDBConnection;
  std::string m_strConnectionString;  // credentials still enciphered

  // Heartbeat and downtime-timeout monitor.
  bool m_bCheckHeartbeats = true;
  int32_t m_lLateHeartBeatDowntimeCodeID = -1;
  bool m_bFirstDowntimeTimeoutCheck = true;
  bool m_bHasDowntimeTimeouts = false;
  dbaccess::DateTime m_dtLastDowntimeTimeoutCheck;
  dbaccess::DateTime m_dtLastHeartBeatCheck;

  // The batch transaction: open or not, savepoint levels open (1 is the
  // row), rows begun in it and when it began.
  bool m_bBatchOpen = false;
  int32_t m_lSavepointDepth = 0;
  int32_t m_lBatchRows = 0;
  dbaccess::DateTime m_dtBatchStart;

  bool m_bLogDrained = false;
  bool m_bLastRowFailed = false;  // the last processed row left an error text
  double m_sys_date_adjust = 0;   // days: database clock minus local clock
  bool m_bV12Database = false;
  std::optional<HeartBeatTable> m_dictHeartBeats;     // none until built
  std::map<std::string, int32_t> m_dictDeleteQueue;   // "<MDC_LOG_ID>L" -> MDC_LOG_ID
  std::map<std::string, int32_t> m_dictCommandTypes;  // "<COMMAND_ID>C" -> type code
  std::array<int32_t, 18> m_alCommandIDs;             // type code -> COMMAND_ID, -1 unknown

  // Set when a handler of the row was refused as out of order (the shift
  // handling threw OutOfOrderRow); read by ProcessCommand for its result.
  bool m_bOutOfOrderRefused = false;

  int32_t m_lHistoryDays = -1;  // -1 not yet read, 0 history off
  bool m_bFailedRowsTableReady = false;  // T_SFC_MDC_LOG_FAILURE seen to exist
  std::string m_strComputerName;
  std::string m_strDesignatedPC;
  dbaccess::DateTime m_dtLastEntry;
  dbaccess::RecordsetPtr m_rsLog;  // the batch cache

  // Boolean option 23, read once by the part-count handlers.
  bool m_bCountPartsOption = false;
  bool m_bCountPartsOptionRead = false;

  bool m_bStartupChecksPending = true;
};

#endif  // VOLTRANE_LIBRARY_KORVEX7_OBJ_H_
