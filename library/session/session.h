// Session: the library's one database session, shared by every component.
//
// The session folder holds what every component builds on: the connection
// (open_connection.cpp), statement execution and recordsets
// (sql_helpers.cpp), transactions and the handlers' one error path
// (transactions.cpp, handler_transaction.cpp), the processing loop's
// batch transaction (batch_transaction.cpp, savepoint_statements.h), the
// processing options (options.cpp), the extended error log, the error and
// message texts, the string table, SQL date-times, the dialect operations,
// the system names and the clock every wait goes through (wait.cpp).
//
// May touch: the database connection and the settings store (the extended
// error log's switch). Knows no component.
// Thread rule: a session is used by the thread that created it.
#ifndef VOLTRANE_LIBRARY_SESSION_SESSION_H_
#define VOLTRANE_LIBRARY_SESSION_SESSION_H_

#include <cstdint>
#include <functional>
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

namespace korvex7::internal {

enum class HandlerOutcome;  // library/core/handler_outcome.h

class Session {
 public:
  explicit Session(std::shared_ptr<dbaccess::Clock> clock);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Connects (session.cpp): an unreachable server (the provider's generic
  // failure 0x80004005) is retried every 5 seconds for up to 5 minutes; any
  // other failure returns after one attempt and one 5-second wait. Unexpected
  // failures escape as ComError.
  bool ConnectToDatabase(const std::string& strConnectionString, int32_t lDatabaseType,
                         std::string& strError);
  std::string GetConnectionString();
  // The numeric cast of a column expression for the connected kind.
  std::string CastToNumeric(std::string& strColExpression);

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
  // A write inside a row's command whose row count is not read and whose
  // failure fails the row: on PostgreSQL it waits on the connection and
  // travels with the next statement or the row's release
  // (Connection::DeferWrite). Should it fail there, the row is undone and
  // recorded failed with the write's own error text (TakeFailedWrite), as if
  // it had failed at once. Outside a row's command it runs at once.
  void WriteInRow(const std::string& strSQL, const std::vector<dbaccess::Variant>& params);
  // Marks the stretch of a row in which its command's handlers run: a
  // failure there fails the row.
  void SetRowCommandRunning(bool bRunning);
  // Whether a waiting write of the row failed; its error text, once.
  bool TakeFailedWrite(std::string& strError);
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
  // A body refused by the shift handling as out of order is remembered for
  // OutOfOrderRefused.
  bool RunHandlerTransaction(bool bOwnTransaction, int32_t lLockedMessageID, std::string& strError,
                             const std::function<HandlerOutcome()>& body);
  // The same for a body that either succeeds (true) or fails (false).
  bool RunHandlerTransaction(bool bOwnTransaction, int32_t lLockedMessageID, std::string& strError,
                             const std::function<bool()>& body);
  // Whether a handler run since the last ClearOutOfOrderRefusal was refused
  // as out of order (the shift handling threw OutOfOrderRow).
  bool OutOfOrderRefused() const { return m_bOutOfOrderRefused; }
  void ClearOutOfOrderRefusal() { m_bOutOfOrderRefused = false; }

  // The batch transaction of the processing loop (batch_transaction.cpp):
  // each row under a savepoint, its removal from the log committed with its
  // effects. OpenRowSavepoint begins the batch when none is open and throws
  // DbError; the others never throw. UndoRowWork rolls the row back to its
  // savepoint, which stays open; CloseRowSavepoint ends it, true when the
  // row's work was kept. A commit that fails abandons the batch: rolled back,
  // and ForgetUncommittedBatch has the caches that moved on inside it reset.
  void OpenRowSavepoint();
  bool UndoRowWork();
  bool CloseRowSavepoint();
  bool BatchDue();
  bool CommitBatch(std::string& strError);
  // The durations in seconds of the batch commits that succeeded since the
  // last call.
  std::vector<double> TakeCommitSeconds() { return std::exchange(m_commitSeconds, {}); }
  // Commits what a long catch-up has done so far and carries on at the same
  // savepoint level; outside a batch, commits and begins a transaction.
  bool CommitProgress();
  void AbandonBatch();
  void ForgetUncommittedBatch();
  bool BatchOpen() const { return m_bBatchOpen; }
  int32_t SavepointDepth() const { return m_lSavepointDepth; }
  // Counts the times work was undone (a savepoint, a transaction or the
  // batch rolled back): a component that keeps a copy of something it wrote
  // reads it again once the count has moved.
  int64_t RollbackCount() const { return m_lRollbackCount; }
  // The log processor's part of the batch: whether it has work queued for
  // the commit, the step just before the commit (the delete queue's flush)
  // and the reset of the caches that moved on inside an abandoned batch
  // (told whether a batch was open).
  void SetBatchSteps(std::function<bool()> queued, std::function<bool(std::string&)> beforeCommit,
                     std::function<void(bool)> forget);

  // Group mode: whether two machines are in one partition of the collector
  // group (and so processed by one member, in order); set by the log
  // processor while it takes part in a group. Without it, always true.
  void SetSamePartitionRule(std::function<bool(int32_t, int32_t)> rule) {
    m_samePartition = std::move(rule);
  }
  bool SamePartition(int32_t lMachineA, int32_t lMachineB) const {
    return !m_samePartition || m_samePartition(lMachineA, lMachineB);
  }
  // The rule is set exactly while the processor takes part in a group.
  bool InCollectorGroup() const { return static_cast<bool>(m_samePartition); }

  // Whose a machine's rows are: set by the log processor while it is the
  // only writer of some machines' rows (the designated collector, or a group
  // member for the partitions it holds). The rule gives a token that stays
  // the same exactly as long as the ownership lasts (a partition taken again
  // gives another), or nothing for a machine owned by no one here. Without
  // a rule no machine is owned.
  using OwnershipToken = std::pair<int64_t, int64_t>;
  void SetMachineOwnerRule(std::function<std::optional<OwnershipToken>(int32_t)> rule) {
    m_machineOwner = std::move(rule);
    ++m_lMachineStateEpoch;
  }
  std::optional<OwnershipToken> MachineOwnership(int32_t lMachineID) const {
    if (!m_machineOwner) return std::nullopt;
    return m_machineOwner(lMachineID);
  }
  // Moves whenever what is kept of the machines' rows may no longer match
  // the database (a connection opened, the schema checked or changed, the
  // ownership rule set); a keeper compares it with RollbackCount as well.
  int64_t MachineStateEpoch() const { return m_lMachineStateEpoch; }
  void ForgetMachineState() { ++m_lMachineStateEpoch; }
  // Told about a recordset just before CloseRecordset closes it, so that a
  // keeper of the rows it holds can take them first.
  void SetCloseObserver(std::function<void(dbaccess::Recordset&)> observer) {
    m_closeObserver = std::move(observer);
  }

  // Processing options, rows of T_SFC_OPTION with application code 2
  // (options.cpp). GetBoolOption lets a database error or a value that is not
  // a number escape as DbError; the others report failure by their result.
  bool GetBoolOption(int32_t lOptionCode);
  bool GetIntOption(int32_t lOptionCode, int32_t& lValue);
  bool GetStringOption(int32_t lOptionCode, std::string& strValue);
  bool GetNumOption(int32_t lOptionCode, int32_t& lValue);
  bool SetStringOption(int32_t lOptionCode, const std::string& strValue);

  // Waits at least lMilliseconds on the session's clock (one-second resolution).
  void WaitMilliseconds(int64_t lMilliseconds);

  dbaccess::Clock& clock() { return *m_clock; }
  const dbaccess::ConnectionPtr& connection() const { return m_oConnection; }
  // Counts the connections ConnectToDatabase opened: what a server keeps per
  // session (its settings) is gone when this changes.
  int64_t ConnectionSerial() const { return m_lConnectionSerial; }
  // The database kind given to the last ConnectToDatabase.
  int32_t DatabaseType() const { return m_lDatabaseType; }
  // What the kind given to ConnectToDatabase differs in.
  const voltrane::Dialect& dialect() const { return voltrane::DialectOf(m_lDatabaseType); }
  // The connection string as given, credentials still enciphered.
  const std::string& ConnectionStringAsGiven() const { return m_strConnectionString; }
  // Set only when a SQL Server string failed to open directly and the
  // connection class was tried instead.
  const voltrane::CDatabaseConnectionObj* FallbackConnection() const {
    return m_oDBConnection.get();
  }
  // Whether the database has the columns of version 12 (seen when the
  // processing loop announced itself).
  bool IsV12Database() const { return m_bV12Database; }
  void SetV12Database(bool bV12) { m_bV12Database = bV12; }
  // Whether PostgreSQL's event record functions are there to call
  // (server_functions.cpp): set when the loop starts, cleared when a call
  // finds them gone.
  bool ServerEventFunctions() const { return m_bServerEventFunctions; }
  void SetServerEventFunctions(bool bInstalled) { m_bServerEventFunctions = bInstalled; }

 private:
  // Runs `step` until it does not throw, from attempt lAttempt up to the 12th.
  bool RetryTransactionStep(int32_t lAttempt, const std::function<void()>& step);
  bool BeforeBatchCommit(std::string& strError);
  // Savepoint levels: the throwing steps and the transaction calls' forms.
  void PushSavepoint();
  void ReleaseSavepoint();
  void RollbackToSavepoint(int32_t lLevel);
  void UnwindDeferredLevels(int32_t lLevel);
  bool TryPushSavepoint();
  bool TryReleaseSavepoint();
  bool TryRollbackSavepoint();

  std::shared_ptr<dbaccess::Clock> m_clock;
  int32_t m_lDatabaseType = 0;
  dbaccess::ConnectionPtr m_oConnection;  // never null; closed until connected
  int64_t m_lConnectionSerial = 0;
  std::unique_ptr<voltrane::CDatabaseConnectionObj> m_oDBConnection;
  std::string m_strConnectionString;  // credentials still enciphered
  bool m_bV12Database = false;
  bool m_bServerEventFunctions = false;
  bool m_bOutOfOrderRefused = false;
  std::string m_strFailedWrite;  // the text of a row's waiting write that failed

  // The batch transaction: open or not, savepoint levels open (1 is the
  // row), rows begun in it and when it began.
  bool m_bBatchOpen = false;
  int32_t m_lSavepointDepth = 0;
  int32_t m_lBatchRows = 0;
  int64_t m_lRollbackCount = 0;
  int64_t m_lMachineStateEpoch = 0;
  std::function<std::optional<OwnershipToken>(int32_t)> m_machineOwner;
  std::function<void(dbaccess::Recordset&)> m_closeObserver;
  dbaccess::DateTime m_dtBatchStart;
  std::vector<double> m_commitSeconds;  // since the last TakeCommitSeconds
  std::function<bool()> m_batchWorkQueued;
  std::function<bool(std::string&)> m_beforeBatchCommit;
  std::function<void(bool)> m_forgetBatch;
  std::function<bool(int32_t, int32_t)> m_samePartition;
};

// The stretch of a row in which its command runs (Session::WriteInRow).
class RowCommandScope {
 public:
  explicit RowCommandScope(Session& session) : session_(session) {
    session_.SetRowCommandRunning(true);
  }
  ~RowCommandScope() { session_.SetRowCommandRunning(false); }
  RowCommandScope(const RowCommandScope&) = delete;
  RowCommandScope& operator=(const RowCommandScope&) = delete;

 private:
  Session& session_;
};

// The session as the components see it, in three narrowing layers, each
// offering only the services named in it; none hands out the session
// itself. SessionClient: statements, recordsets, options and what the
// connected database is (intake, reference data and schema maintenance use
// no more). TransactionClient adds the transactions and the handlers' one
// error path (handlers, machine records, monitor). BatchClient adds the
// batch transaction's steps, which only the log processor runs: no handler
// can open, undo or commit the batch. The names are those the components'
// code has always used.
class SessionClient {
 public:
  explicit SessionClient(Session& session) : session_(session) {}

 protected:
  bool ExecuteSQL(const std::string& strSQL, std::string& strError) {
    return session_.ExecuteSQL(strSQL, strError);
  }
  bool ExecuteSQLCounted(const std::string& strSQL, std::string& strError,
                         int32_t& lRecordsAffected) {
    return session_.ExecuteSQLCounted(strSQL, strError, lRecordsAffected);
  }
  void ExecuteStatement(const std::string& strSQL) { session_.ExecuteStatement(strSQL); }
  void WriteInRow(const std::string& strSQL, const std::vector<dbaccess::Variant>& params) {
    session_.WriteInRow(strSQL, params);
  }
  bool ExecuteWithRetry(const std::string& strSQL, std::string& strError,
                        int32_t& lRecordsAffected) {
    return session_.ExecuteWithRetry(strSQL, strError, lRecordsAffected);
  }
  void PrepareRecordset(dbaccess::Recordset& rs) { session_.PrepareRecordset(rs); }
  void OpenRecordset(dbaccess::Recordset& rs, const std::string& strSQL) {
    session_.OpenRecordset(rs, strSQL);
  }
  dbaccess::RecordsetPtr OpenQuery(const std::string& strSQL, bool bServerCursor = false) {
    return session_.OpenQuery(strSQL, bServerCursor);
  }
  void CloseRecordset(dbaccess::RecordsetPtr& rs) { session_.CloseRecordset(rs); }
  std::string GetScalarText(const std::string& strSQL, dbaccess::Variant* vSecondColumn = nullptr) {
    return session_.GetScalarText(strSQL, vSecondColumn);
  }
  dbaccess::Variant GetScalarValue(const std::string& strSQL) {
    return session_.GetScalarValue(strSQL);
  }
  bool GetBoolOption(int32_t lOptionCode) { return session_.GetBoolOption(lOptionCode); }
  bool GetIntOption(int32_t lOptionCode, int32_t& lValue) {
    return session_.GetIntOption(lOptionCode, lValue);
  }
  bool GetStringOption(int32_t lOptionCode, std::string& strValue) {
    return session_.GetStringOption(lOptionCode, strValue);
  }
  bool GetNumOption(int32_t lOptionCode, int32_t& lValue) {
    return session_.GetNumOption(lOptionCode, lValue);
  }
  bool SetStringOption(int32_t lOptionCode, const std::string& strValue) {
    return session_.SetStringOption(lOptionCode, strValue);
  }
  void WaitMilliseconds(int64_t lMilliseconds) { session_.WaitMilliseconds(lMilliseconds); }
  dbaccess::Clock& clock() { return session_.clock(); }
  const dbaccess::ConnectionPtr& connection() const { return session_.connection(); }
  int32_t DatabaseType() const { return session_.DatabaseType(); }
  const voltrane::Dialect& dialect() const { return session_.dialect(); }
  bool IsV12Database() const { return session_.IsV12Database(); }
  bool SamePartition(int32_t lMachineA, int32_t lMachineB) const {
    return session_.SamePartition(lMachineA, lMachineB);
  }
  bool InCollectorGroup() const { return session_.InCollectorGroup(); }
  bool ServerEventFunctions() const { return session_.ServerEventFunctions(); }
  void SetServerEventFunctions(bool bInstalled) { session_.SetServerEventFunctions(bInstalled); }

 private:
  friend class TransactionClient;
  Session& session_;
};

class TransactionClient : public SessionClient {
 public:
  using SessionClient::SessionClient;

 protected:
  bool BeginTransaction(int32_t lAttempt = 1) { return session_.BeginTransaction(lAttempt); }
  bool CommitTransaction(int32_t lAttempt = 1) { return session_.CommitTransaction(lAttempt); }
  bool RollbackTransaction(int32_t lAttempt = 1) { return session_.RollbackTransaction(lAttempt); }
  bool RunHandlerTransaction(bool bOwnTransaction, int32_t lLockedMessageID, std::string& strError,
                             const std::function<HandlerOutcome()>& body) {
    return session_.RunHandlerTransaction(bOwnTransaction, lLockedMessageID, strError, body);
  }
  bool RunHandlerTransaction(bool bOwnTransaction, int32_t lLockedMessageID, std::string& strError,
                             const std::function<bool()>& body) {
    return session_.RunHandlerTransaction(bOwnTransaction, lLockedMessageID, strError, body);
  }
  // Read only: whether the loop's batch is open, and how often work was
  // undone (see Session::RollbackCount).
  bool BatchOpen() const { return session_.BatchOpen(); }
  int64_t RollbackCount() const { return session_.RollbackCount(); }
};

// The log processor's base: the batch transaction's steps and the session
// itself, which the loop drives (connection, out-of-order verdicts, the
// batch steps it hands over).
class BatchClient : public TransactionClient {
 public:
  explicit BatchClient(Session& session) : TransactionClient(session), session_(session) {}

 protected:
  void OpenRowSavepoint() { session_.OpenRowSavepoint(); }
  bool UndoRowWork() { return session_.UndoRowWork(); }
  bool CloseRowSavepoint() { return session_.CloseRowSavepoint(); }
  bool BatchDue() { return session_.BatchDue(); }
  bool CommitBatch(std::string& strError) { return session_.CommitBatch(strError); }
  void ForgetUncommittedBatch() { session_.ForgetUncommittedBatch(); }

  Session& session_;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_SESSION_SESSION_H_
