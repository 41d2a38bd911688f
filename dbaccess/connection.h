// Connection: one database connection opened from an ADO-style connection
// string (see provider_table.h for the providers).
//
// Shared by std::shared_ptr between the owner, its recordsets and commands, as
// ADO connections are shared by reference. At most one transaction is open at
// a time. Failures throw DbError; the failure of the last operation is also
// kept in Errors(), the connection's error collection, until the next call.
// Not thread-safe: one thread at a time.
#ifndef VOLTRANE_DBACCESS_CONNECTION_H_
#define VOLTRANE_DBACCESS_CONNECTION_H_

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dbaccess/backend.h"
#include "dbaccess/db_error.h"
#include "dbaccess/sql_dialect.h"

namespace dbaccess {

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  const std::string& ConnectionString() const { return connection_string_; }
  void SetConnectionString(std::string text) { connection_string_ = std::move(text); }
  int CommandTimeout() const { return command_timeout_; }
  void SetCommandTimeout(int seconds) { command_timeout_ = seconds; }

  // Opens with ConnectionString() (or `connection_string` when given, which
  // then becomes ConnectionString()). Opening an open connection fails with
  // kErrInvalidArgument.
  void Open();
  void Open(const std::string& connection_string);
  // Closes; a pending transaction is rolled back. Closing a closed connection does nothing.
  void Close();
  bool IsOpen() const;
  voltrane::dbkind::Kind Kind() const;
  // What the engine behind the connection differs in; the empty row when closed.
  const voltrane::Dialect& Dialect() const { return voltrane::DialectOf(Kind()); }

  // Executes a statement that returns no rows; returns the affected-row count.
  int64_t Execute(const std::string& sql);
  int64_t Execute(const std::string& sql, const std::vector<Variant>& params);
  // Runs a query and reads every row.
  ResultTable Query(const std::string& sql);
  ResultTable Query(const std::string& sql, const std::vector<Variant>& params);
  // Inserts one row and returns it as stored (Backend::InsertRow).
  ResultTable InsertRow(const std::string& table, const std::vector<std::string>& columns,
                        const std::vector<Variant>& values);

  // Statements that change no data and whose failure may surface with the
  // next operation (savepoints): they wait and run just before the
  // connection's next use of the database, on PostgreSQL all in one round
  // trip. CancelDeferred drops the last waiting statement when it is `sql`
  // (a savepoint released before anything ran in it) and says whether it did.
  // A rollback of the transaction drops what waits; a commit runs it first.
  //
  // DeferSavepoint defers setting a savepoint, with the statement that rolls
  // back to it. When a savepoint is the last of what waits, what waits rides
  // with the next Execute, Query or InsertRow where the backend allows
  // (Backend::SendAhead); should that statement fail, the connection rolls
  // back to the savepoint, so that the failure undoes that statement alone,
  // as the driver's own statement-level rollback (which a leading savepoint
  // turns off) would have.
  void Defer(const std::string& sql);
  void DeferSavepoint(const std::string& set, const std::string& rollback);
  bool CancelDeferred(const std::string& sql);
  void RunDeferred();
  bool HasDeferred() const { return !deferred_.empty(); }

  // A write whose row count nobody reads, to wait with the savepoints and
  // travel with the next statement (or the next run of what waits) on
  // PostgreSQL; elsewhere it runs at once. Should a round trip carrying
  // waiting writes fail, its statements are run again one at a time to find
  // the one that fails alone: a failing write then throws its own error,
  // exactly as it would have run alone, and the statements after it do not
  // run. From then on the connection refuses everything with that error
  // (FailedWrite) until RollbackFailedWrite undoes the work it belonged to.
  // With `unmatched`, a write that changes no row fails with that text. Only
  // while SetWritesMayWait(true) (and on PostgreSQL) does a write wait.
  void DeferWrite(const std::string& sql, const std::vector<Variant>& params,
                  const std::string& unmatched = "");
  void SetWritesMayWait(bool may_wait) { writes_may_wait_ = may_wait; }
  const DbError* FailedWrite() const { return failed_write_ ? &*failed_write_ : nullptr; }
  // Runs `rollback` (to a savepoint that holds the failed write's work) and
  // forgets the failure and whatever waits.
  void RollbackFailedWrite(const std::string& rollback);

  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  bool InTransaction() const { return in_transaction_; }

  // The primary key columns of `table`, in key order (empty when it has none).
  // Asked of the database once per table while the connection stays open
  // (every time when metadata caching is off); Close forgets them.
  std::vector<std::string> PrimaryKeyColumns(const std::string& table);

  // The errors of the last failed operation; the first entry is the provider's own.
  const std::vector<DbError>& Errors() const { return errors_; }

  // The backend, for Recordset and Command, after the deferred statements
  // ran. Throws kErrObjectClosed when closed.
  Backend& backend();

  // Test seam: opens with an already created backend instead of the provider table.
  void OpenWithBackend(std::unique_ptr<Backend> backend);

 private:
  template <typename Fn>
  auto Guard(Fn&& fn) -> decltype(fn());
  void RunDeferredStatements();
  template <typename Call>
  auto SendWithDeferred(Call&& call) -> decltype(call(std::declval<Backend&>()));

  struct Deferred {
    std::string sql;
    std::string rollback;  // for a savepoint: the statement that rolls back to it
    std::vector<Variant> params;
    bool write = false;
    std::string unmatched;  // the failure of a write that changes no row
  };
  // A write as it travels: one that must change a row fails by itself when
  // it changes none (a division by zero, read back as `unmatched`).
  static std::string TravellingText(const Deferred& waiting);
  void RequireNoFailedWrite() const;
  bool WritesWait() const;
  [[noreturn]] void FindFailedStatement(const std::vector<Deferred>& sent, const DbError& failure);

  std::string connection_string_;
  int command_timeout_ = 30;
  std::unique_ptr<Backend> backend_;  // non-null iff open
  bool in_transaction_ = false;
  std::vector<DbError> errors_;
  std::vector<Deferred> deferred_;
  std::optional<DbError> failed_write_;
  bool writes_may_wait_ = false;
  bool cache_keys_ = true;  // metadata caching as it was when the connection opened
  std::map<std::string, std::vector<std::string>> primary_keys_;  // by upper-case table name
};

using ConnectionPtr = std::shared_ptr<Connection>;

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_CONNECTION_H_
