#include "dbaccess/connection.h"

#include <algorithm>
#include <cctype>

#include "dbaccess/metadata_caching.h"
#include "dbaccess/provider_table.h"

namespace dbaccess {

Connection::Connection() = default;

Connection::~Connection() {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; the engine drops the connection anyway.
  }
}

template <typename Fn>
auto Connection::Guard(Fn&& fn) -> decltype(fn()) {
  errors_.clear();
  try {
    return fn();
  } catch (const DbError& error) {
    errors_.push_back(error);
    throw;
  }
}

void Connection::Open() {
  Guard([&] {
    if (backend_)
      throw DbError(kErrInvalidArgument, "Operation is not allowed when the object is open.");
    std::unique_ptr<Backend> backend = CreateBackend(connection_string_);
    backend->Open(command_timeout_);
    backend_ = std::move(backend);
    cache_keys_ = MetadataCaching();
  });
}

void Connection::Open(const std::string& connection_string) {
  if (!connection_string.empty()) connection_string_ = connection_string;
  Open();
}

void Connection::OpenWithBackend(std::unique_ptr<Backend> backend) {
  Guard([&] {
    if (backend_)
      throw DbError(kErrInvalidArgument, "Operation is not allowed when the object is open.");
    backend->Open(command_timeout_);
    backend_ = std::move(backend);
    cache_keys_ = MetadataCaching();
  });
}

void Connection::Close() {
  // Another database may be opened next, or this one changed meanwhile.
  primary_keys_.clear();
  deferred_.clear();
  failed_write_.reset();
  if (!backend_) return;
  std::unique_ptr<Backend> backend = std::move(backend_);
  if (in_transaction_) {
    in_transaction_ = false;
    try {
      backend->RollbackTransaction();
    } catch (const DbError&) {
      // Closing ends the transaction on the server side in any case.
    }
  }
  backend->Close();
}

bool Connection::IsOpen() const { return backend_ && backend_->IsOpen(); }

voltrane::dbkind::Kind Connection::Kind() const {
  return backend_ ? backend_->Engine() : voltrane::dbkind::kNone;
}

Backend& Connection::backend() {
  if (!backend_)
    throw DbError(kErrObjectClosed, "Operation is not allowed when the object is closed.");
  RequireNoFailedWrite();
  if (!deferred_.empty()) RunDeferredStatements();
  return *backend_;
}

void Connection::Defer(const std::string& sql) { deferred_.push_back({sql, "", {}, false, ""}); }

void Connection::DeferSavepoint(const std::string& set, const std::string& rollback) {
  deferred_.push_back({set, rollback, {}, false, ""});
}

void Connection::DeferWrite(const std::string& sql, const std::vector<Variant>& params,
                            const std::string& unmatched) {
  // Only where what waits shares a round trip; SQLite has none to save.
  if (writes_may_wait_ && backend_ && !failed_write_ &&
      backend_->Engine() == voltrane::dbkind::kPostgreSql) {
    deferred_.push_back({sql, "", params, true, unmatched});
    return;
  }
  if (Execute(sql, params) == 0 && !unmatched.empty()) {
    throw DbError(kErrCommandFailed, unmatched);
  }
}

std::string Connection::TravellingText(const Deferred& waiting) {
  if (waiting.unmatched.empty()) return waiting.sql;
  return "WITH KORVEX7_WRITE AS (" + waiting.sql +
         " RETURNING 1) SELECT 1 / COUNT(*) FROM KORVEX7_WRITE";
}

void Connection::RollbackFailedWrite(const std::string& rollback) {
  Guard([&] {
    failed_write_.reset();
    deferred_.clear();
    if (!backend_)
      throw DbError(kErrObjectClosed, "Operation is not allowed when the object is closed.");
    backend_->Execute(rollback, {}, command_timeout_);
  });
}

void Connection::RequireNoFailedWrite() const {
  if (failed_write_) throw *failed_write_;
}

bool Connection::WritesWait() const {
  return std::any_of(deferred_.begin(), deferred_.end(),
                     [](const Deferred& waiting) { return waiting.write; });
}

// A failed round trip carrying writes leaves the transaction as it was before
// it (the driver's statement-level rollback) or, when it begins with a
// savepoint, which turns that rollback off, as the rollback to that savepoint
// restores it. Running what was sent one statement at a time then finds the
// failing one and leaves exactly what running them alone would have left.
void Connection::FindFailedStatement(const std::vector<Deferred>& sent, const DbError& failure) {
  size_t first = 0;
  if (!sent.front().rollback.empty()) {
    try {
      backend_->Execute(sent.front().rollback, {}, command_timeout_);
    } catch (const DbError&) {
      // The savepoint itself was refused: nothing of the round trip ran.
      throw failure;
    }
    first = 1;
  }
  for (size_t i = first; i < sent.size(); ++i) {
    try {
      if (backend_->Execute(sent[i].sql, sent[i].params, command_timeout_) == 0 &&
          !sent[i].unmatched.empty()) {
        throw DbError(kErrCommandFailed, sent[i].unmatched);
      }
    } catch (const DbError& error) {
      if (sent[i].write) failed_write_ = error;
      throw;
    }
  }
  // What waited runs: the failure was the statement's they travelled with.
  throw failure;
}

bool Connection::CancelDeferred(const std::string& sql) {
  if (deferred_.empty() || deferred_.back().sql != sql) return false;
  deferred_.pop_back();
  return true;
}

void Connection::RunDeferred() {
  Guard([&] {
    if (!backend_)
      throw DbError(kErrObjectClosed, "Operation is not allowed when the object is closed.");
    RequireNoFailedWrite();
    RunDeferredStatements();
  });
}

void Connection::RunDeferredStatements() {
  // Taken first: a failure leaves nothing waiting to run twice.
  std::vector<Deferred> statements = std::move(deferred_);
  deferred_.clear();
  if (statements.empty()) return;
  if (backend_->Engine() == voltrane::dbkind::kPostgreSql) {
    std::string batch;
    std::vector<Variant> params;
    bool writes = false;
    for (const Deferred& waiting : statements) {
      batch += (batch.empty() ? "" : ";") + TravellingText(waiting);
      params.insert(params.end(), waiting.params.begin(), waiting.params.end());
      writes = writes || waiting.write;
    }
    try {
      backend_->Execute(batch, params, command_timeout_);
    } catch (const DbError& failure) {
      if (!writes) throw;
      FindFailedStatement(statements, failure);
    }
    return;
  }
  // Elsewhere one statement per call: SQLite compiles one at a time, and
  // there a call costs no round trip.
  for (const Deferred& waiting : statements) {
    backend_->Execute(waiting.sql, waiting.params, command_timeout_);
  }
}

// When a savepoint is the last of what waits, a failed statement can be
// undone alone by rolling back to it; waiting writes always go ahead, and a
// failure is then traced to its statement (FindFailedStatement).
template <typename Call>
auto Connection::SendWithDeferred(Call&& call) -> decltype(call(std::declval<Backend&>())) {
  if (backend_) RequireNoFailedWrite();
  const bool writes = WritesWait();
  if (!backend_ || deferred_.empty() || (deferred_.back().rollback.empty() && !writes)) {
    return call(backend());
  }
  std::vector<AheadStatement> ahead;
  for (const Deferred& waiting : deferred_) {
    ahead.push_back({TravellingText(waiting), waiting.params});
  }
  if (!backend_->SendAhead(ahead)) return call(backend());
  const std::vector<Deferred> sent = std::move(deferred_);
  deferred_.clear();
  const std::string rollback = sent.back().rollback;
  try {
    return call(*backend_);
  } catch (const DbError& failure) {
    backend_->SendAhead({});
    if (writes) FindFailedStatement(sent, failure);
    try {
      backend_->Execute(rollback, {}, command_timeout_);
    } catch (const DbError&) {
      // The savepoint was never set: what waited failed, and the transaction
      // stays refused, as it would had what waited run alone.
    }
    throw;
  }
}

int64_t Connection::Execute(const std::string& sql) { return Execute(sql, {}); }

int64_t Connection::Execute(const std::string& sql, const std::vector<Variant>& params) {
  return Guard([&] {
    return SendWithDeferred(
        [&](Backend& backend) { return backend.Execute(sql, params, command_timeout_); });
  });
}

ResultTable Connection::Query(const std::string& sql) { return Query(sql, {}); }

ResultTable Connection::Query(const std::string& sql, const std::vector<Variant>& params) {
  return Guard([&] {
    return SendWithDeferred(
        [&](Backend& backend) { return backend.Query(sql, params, command_timeout_); });
  });
}

ResultTable Connection::InsertRow(const std::string& table, const std::vector<std::string>& columns,
                                  const std::vector<Variant>& values) {
  return Guard([&] {
    return SendWithDeferred([&](Backend& backend) {
      return backend.InsertRow(table, columns, values, command_timeout_);
    });
  });
}

std::vector<std::string> Connection::PrimaryKeyColumns(const std::string& table) {
  return Guard([&] {
    if (!cache_keys_) return backend().PrimaryKeyColumns(table);
    std::string name = table;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    auto found = primary_keys_.find(name);
    if (found == primary_keys_.end()) {
      found = primary_keys_.emplace(name, backend().PrimaryKeyColumns(table)).first;
    }
    return found->second;
  });
}

void Connection::BeginTrans() {
  Guard([&] {
    if (in_transaction_) {
      throw DbError(kErrCommandFailed, "Only one transaction can be open at a time.");
    }
    backend().BeginTransaction();
    in_transaction_ = true;
  });
}

void Connection::CommitTrans() {
  Guard([&] {
    if (!in_transaction_) throw DbError(kErrCommandFailed, "No transaction is active.");
    backend().CommitTransaction();  // after what waits, which may fail it
    in_transaction_ = false;
  });
}

void Connection::RollbackTrans() {
  Guard([&] {
    if (!in_transaction_) throw DbError(kErrCommandFailed, "No transaction is active.");
    // What waits would be undone anyway.
    deferred_.clear();
    failed_write_.reset();
    // Stays in the transaction when the rollback fails, so that a retry can
    // roll it back; but a lost connection took the transaction with it, and
    // a retry would only wait for nothing.
    try {
      backend().RollbackTransaction();
    } catch (const DbError& error) {
      if (error.number() == kErrGenericFailure) in_transaction_ = false;
      throw;
    }
    in_transaction_ = false;
  });
}

}  // namespace dbaccess
