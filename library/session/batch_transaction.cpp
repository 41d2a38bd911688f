// The batch transaction: where exactly-once processing of the log lives.
//
// A log row's effects and its removal from T_SFC_MDC_LOG commit together, in
// one database transaction, or not at all. The loop opens the batch
// transaction before its first row and runs every row under a savepoint of
// its own (level 1); a handler's Begin/Commit/RollbackTransaction become
// deeper savepoints inside it (transactions.cpp), so a failing handler still
// rolls back alone. A row that ends well has its key put on the delete queue;
// the queued keys are deleted inside the same transaction just before it
// commits. A row that fails has its work undone to its savepoint, its failure
// recorded, and stays in the log as before.
//
// The batch commits every kBatchRows rows or kBatchMilliseconds, whenever the
// batch cache is read again (so also when the log runs empty), after a row
// removed as out of order, and when the object is disconnected or destroyed.
// A crash at any moment therefore leaves either a row's effects and its
// removal, or neither: the next run reads the uncommitted rows again and
// applies them once. A commit that fails rolls everything back, and every
// cache that moved on inside the batch is forgotten, so the rows are read
// again from the committed state. A long catch-up of expired shifts commits
// the batch at each record it closes (CommitProgress), so it makes progress
// across crashes: what it commits early is state that running it again
// continues from. Processing thread only.
#include <string>
#include <utility>

#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"
#include "library/session/savepoint_statements.h"
#include "library/session/session.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kBatchRows = 200;
constexpr int64_t kBatchMilliseconds = 500;
constexpr int32_t kMaxUnwoundLevels = 8;

}  // namespace

// Setting and releasing a savepoint wait on the connection for its next
// statement (Connection::Defer): a level released before anything ran in it
// costs nothing, and on PostgreSQL the rest travel together in one round
// trip. A rollback runs at once.
void Session::PushSavepoint() {
  const SavepointStatements statements =
      SavepointStatementsFor(m_lDatabaseType, m_lSavepointDepth + 1);
  if (!statements.set.empty()) m_oConnection->DeferSavepoint(statements.set, statements.rollback);
  ++m_lSavepointDepth;
}

void Session::ReleaseSavepoint() {
  const SavepointStatements statements = SavepointStatementsFor(m_lDatabaseType, m_lSavepointDepth);
  if (!m_oConnection->CancelDeferred(statements.set) && !statements.release.empty()) {
    m_oConnection->Defer(statements.release);
  }
  --m_lSavepointDepth;
}

void Session::RollbackToSavepoint(int32_t lLevel) {
  ++m_lRollbackCount;
  if (const dbaccess::DbError* failed = m_oConnection->FailedWrite()) {
    // The failed write belongs to the row: only the row's rollback undoes
    // it, and a deeper level's is then part of it.
    if (lLevel == 1) {
      m_strFailedWrite = failed->description();
      m_oConnection->RollbackFailedWrite(SavepointStatementsFor(m_lDatabaseType, 1).rollback);
    }
    m_lSavepointDepth = lLevel;
    return;
  }
  if (!HasSavepoints(m_lDatabaseType)) {
    // The batch holds this one row: undoing the row undoes the transaction.
    m_oConnection->RollbackTrans();
    m_oConnection->BeginTrans();
  } else {
    UnwindDeferredLevels(lLevel);
    const SavepointStatements statements = SavepointStatementsFor(m_lDatabaseType, lLevel);
    // Nothing ran since the level was set: there is nothing to undo.
    if (!m_oConnection->CancelDeferred(statements.set)) {
      m_oConnection->Execute(statements.rollback);
    } else {
      m_oConnection->DeferSavepoint(statements.set, statements.rollback);
    }
  }
  m_lSavepointDepth = lLevel;
}

// Rolling back to a level ends every deeper one: their waiting sets and
// releases need not run. (Deeper than kMaxUnwoundLevels they simply run.)
void Session::UnwindDeferredLevels(int32_t lLevel) {
  for (bool bDropped = true; bDropped;) {
    bDropped = false;
    for (int32_t lDeeper = lLevel + 1; lDeeper <= lLevel + kMaxUnwoundLevels && !bDropped;
         ++lDeeper) {
      const SavepointStatements statements = SavepointStatementsFor(m_lDatabaseType, lDeeper);
      bDropped = m_oConnection->CancelDeferred(statements.set) ||
                 (!statements.release.empty() && m_oConnection->CancelDeferred(statements.release));
    }
  }
}

bool Session::TryPushSavepoint() {
  try {
    PushSavepoint();
    return true;
  } catch (...) {
    return false;
  }
}

bool Session::TryReleaseSavepoint() {
  if (m_lSavepointDepth < 1) return false;
  try {
    ReleaseSavepoint();
    return true;
  } catch (...) {
    // The level stays open for the caller's rollback, as a failed commit does.
    return false;
  }
}

bool Session::TryRollbackSavepoint() {
  if (m_lSavepointDepth < 1) return false;
  try {
    RollbackToSavepoint(m_lSavepointDepth);
    ReleaseSavepoint();
    return true;
  } catch (...) {
    return false;
  }
}

void Session::OpenRowSavepoint() {
  if (!m_bBatchOpen) {
    m_oConnection->BeginTrans();
    m_bBatchOpen = true;
    m_lSavepointDepth = 0;
    m_lBatchRows = 0;
    m_dtBatchStart = clock().Now();
  }
  m_strFailedWrite.clear();
  PushSavepoint();
  ++m_lBatchRows;
}

bool Session::UndoRowWork() {
  if (!m_bBatchOpen || m_lSavepointDepth < 1) return false;
  try {
    RollbackToSavepoint(1);
    return true;
  } catch (...) {
    AbandonBatch();
    return false;
  }
}

bool Session::CloseRowSavepoint() {
  if (!m_bBatchOpen || m_lSavepointDepth < 1) return false;
  try {
    // A handler level left open means its work was neither kept nor undone.
    bool bKept = m_lSavepointDepth == 1;
    if (!bKept) RollbackToSavepoint(1);
    try {
      // The release must be known to have run before the row counts as kept:
      // its key then leaves the log with the batch.
      ReleaseSavepoint();
      m_oConnection->RunDeferred();
    } catch (...) {
      // PostgreSQL refuses once a statement of the row failed: the row's
      // work cannot be kept, so it is undone.
      m_lSavepointDepth = 1;
      RollbackToSavepoint(1);
      ReleaseSavepoint();
      m_oConnection->RunDeferred();
      bKept = false;
    }
    return bKept;
  } catch (...) {
    AbandonBatch();
    return false;
  }
}

bool Session::BatchDue() {
  if (!m_bBatchOpen) return false;
  // A clock set back counts as time gone by.
  const int64_t lElapsed =
      clock().Now().MillisecondsSinceEpoch() - m_dtBatchStart.MillisecondsSinceEpoch();
  return !HasSavepoints(m_lDatabaseType) || m_lBatchRows >= kBatchRows ||
         lElapsed >= kBatchMilliseconds || lElapsed < 0;
}

bool Session::CommitBatch(std::string& strError) {
  if (!m_bBatchOpen) return BeforeBatchCommit(strError);
  WriteExtendedErrorLog("CommitBatch Rows=" + std::to_string(m_lBatchRows));
  if (!BeforeBatchCommit(strError)) {
    AbandonBatch();
    return false;
  }
  const int64_t lCommitStart = clock().Now().MillisecondsSinceEpoch();
  try {
    m_oConnection->CommitTrans();
  } catch (...) {
    const ErrorInfo error = CurrentError();
    strError = FormatErrorText(error.number, error.description);
    AbandonBatch();
    return false;
  }
  m_commitSeconds.push_back(
      static_cast<double>(clock().Now().MillisecondsSinceEpoch() - lCommitStart) / 1000.0);
  m_bBatchOpen = false;
  m_lSavepointDepth = 0;
  m_lBatchRows = 0;
  return true;
}

bool Session::CommitProgress() {
  if (!m_bBatchOpen) {
    CommitTransaction();
    return BeginTransaction();
  }
  const int32_t lDepth = m_lSavepointDepth;
  std::string strError;
  if (!CommitBatch(strError)) return false;
  try {
    OpenRowSavepoint();
    while (m_lSavepointDepth < lDepth) PushSavepoint();
    return true;
  } catch (...) {
    AbandonBatch();
    return false;
  }
}

void Session::AbandonBatch() {
  try {
    if (m_oConnection->InTransaction()) m_oConnection->RollbackTrans();
  } catch (...) {
    // Closing the connection ends it on the server in any case.
  }
  ForgetUncommittedBatch();
}

void Session::ForgetUncommittedBatch() {
  const bool bBatchWasOpen = m_bBatchOpen;
  ++m_lRollbackCount;
  m_bBatchOpen = false;
  m_lSavepointDepth = 0;
  m_lBatchRows = 0;
  // The caches that may hold what the batch did belong to the log processor
  // and the monitor; the step the loop gave forgets them.
  if (m_forgetBatch) m_forgetBatch(bBatchWasOpen);
}

bool Session::TakeFailedWrite(std::string& strError) {
  if (const dbaccess::DbError* failed = m_oConnection->FailedWrite()) {
    strError = failed->description();
    return true;
  }
  if (m_strFailedWrite.empty()) return false;
  strError = std::exchange(m_strFailedWrite, {});
  return true;
}

void Session::SetBatchSteps(std::function<bool()> queued,
                            std::function<bool(std::string&)> beforeCommit,
                            std::function<void(bool)> forget) {
  m_batchWorkQueued = std::move(queued);
  m_beforeBatchCommit = std::move(beforeCommit);
  m_forgetBatch = std::move(forget);
}

bool Session::BeforeBatchCommit(std::string& strError) {
  return !m_beforeBatchCommit || m_beforeBatchCommit(strError);
}

}  // namespace korvex7::internal
