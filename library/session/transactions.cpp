// Transaction control of the session on its connection. Each
// operation makes up to 12 attempts, 999 ms apart, so that a database locked
// by another writer for a moment does not fail a handler; a lost connection
// fails at once, since waiting does not bring it back (a collector group's
// member whose idle session the server ended would otherwise sit out the
// retries of every transaction step until the loop connects again). False
// when every attempt failed; never throws.
//
// Inside the processing loop's batch transaction they open, release and roll
// back savepoints instead (batch_transaction.cpp): a handler's work then
// commits with the row's removal from the log, and still rolls back alone.
#include "library/session/session.h"

#include "dbaccess/db_error.h"
#include "library/session/error_text.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kTransactionAttempts = 12;
constexpr int64_t kTransactionRetryMilliseconds = 999;

}  // namespace

bool Session::RetryTransactionStep(int32_t lAttempt, const std::function<void()>& step) {
  for (int32_t attempt = lAttempt;; ++attempt) {
    try {
      step();
      return true;
    } catch (...) {
      if (attempt >= kTransactionAttempts) return false;
      if (CurrentError().number == dbaccess::kErrGenericFailure) return false;
    }
    WaitMilliseconds(kTransactionRetryMilliseconds);
  }
}

bool Session::BeginTransaction(int32_t lAttempt) {
  if (m_bBatchOpen) return TryPushSavepoint();
  return RetryTransactionStep(lAttempt, [this] { m_oConnection->BeginTrans(); });
}

bool Session::CommitTransaction(int32_t lAttempt) {
  if (m_bBatchOpen) return TryReleaseSavepoint();
  // Without a transaction no attempt can succeed.
  if (!m_oConnection->InTransaction()) return false;
  return RetryTransactionStep(lAttempt, [this] { m_oConnection->CommitTrans(); });
}

bool Session::RollbackTransaction(int32_t lAttempt) {
  if (m_bBatchOpen) return TryRollbackSavepoint();
  if (!m_oConnection->InTransaction()) return false;
  ++m_lRollbackCount;
  return RetryTransactionStep(lAttempt, [this] { m_oConnection->RollbackTrans(); });
}

}  // namespace korvex7::internal
