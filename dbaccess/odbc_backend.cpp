// OdbcBackend: the Backend over unixODBC (see odbc_backend.h).
//
// One environment and one connection handle per backend; every statement gets
// its own statement handle, freed when the call returns or throws. The
// connection runs in autocommit mode except between BeginTransaction and its
// commit or rollback. Text crosses the driver boundary in UTF-16 through the
// wide entry points; statements and data of sqliteodbc, which has none, go as
// UTF-8. Used by one thread at a time.
#include "dbaccess/odbc_backend.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <mutex>

#include "base/ascii_case.h"
#include "dbaccess/db_error.h"
#include "dbaccess/odbc_error.h"
#include "dbaccess/odbc_handle.h"
#include "dbaccess/odbc_parameters.h"
#include "dbaccess/odbc_result_reader.h"
#include "dbaccess/odbc_text.h"

namespace dbaccess {
namespace {

OdbcHandle NewEnvironment() {
  OdbcHandle environment(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  CheckOdbc(SQLSetEnvAttr(environment.get(), SQL_ATTR_ODBC_VERSION,
                          reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
            environment);
  return environment;
}

voltrane::dbkind::Kind EngineFromDbmsName(const std::string& dbms_name) {
  const std::string name = base::Lower(dbms_name);
  if (name.find("postgres") != std::string::npos) return voltrane::dbkind::kPostgreSql;
  if (name.find("sqlite") != std::string::npos) return voltrane::dbkind::kSqlite;
  if (name.find("sql server") != std::string::npos) return voltrane::dbkind::kSqlServer;
  if (name.find("oracle") != std::string::npos) return voltrane::dbkind::kOracle;
  if (name.find("access") != std::string::npos || name.find("jet") != std::string::npos) {
    return voltrane::dbkind::kAccess;
  }
  return voltrane::dbkind::kNone;
}

std::string JoinColumns(const std::vector<std::string>& columns, const std::string& prefix = "") {
  std::string text;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) text += ", ";
    text += prefix + columns[i];
  }
  return text;
}

std::string Markers(size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += i == 0 ? "?" : ", ?";
  return text;
}

ResultTable RequireOneRow(ResultTable table) {
  if (table.rows.size() != 1) {
    throw DbError(kErrCommandFailed, "The database did not return the inserted row.");
  }
  return table;
}

class OdbcBackend : public Backend {
 public:
  explicit OdbcBackend(std::string connection_string)
      : connection_string_(std::move(connection_string)) {}
  ~OdbcBackend() override { Close(); }

  void Open(int timeout_seconds) override;
  void Close() override;
  bool IsOpen() const override { return connected_; }
  voltrane::dbkind::Kind Engine() const override { return engine_; }

  int64_t Execute(const std::string& sql, const std::vector<Variant>& params,
                  int timeout_seconds) override;
  ResultTable Query(const std::string& sql, const std::vector<Variant>& params,
                    int timeout_seconds) override;
  bool SendAhead(const std::vector<AheadStatement>& statements) override;

  void BeginTransaction() override;
  void CommitTransaction() override;
  void RollbackTransaction() override;

  std::vector<std::string> PrimaryKeyColumns(const std::string& table) override;
  ResultTable InsertRow(const std::string& table, const std::vector<std::string>& columns,
                        const std::vector<Variant>& values, int timeout_seconds) override;
  ResultTable CallProcedure(const std::string& name, std::vector<Parameter>& params,
                            int timeout_seconds) override;
  std::vector<std::string> TableNames() override;
  std::vector<std::string> IndexNames(const std::string& table) override;

 private:
  SQLHDBC dbc() const { return connection_.get(); }
  void RequireOpen() const;
  std::string InfoText(SQLUSMALLINT info) const;
  bool DriverTakesWideText() const;
  OdbcHandle NewStatement(int timeout_seconds) const;
  size_t Run(const OdbcHandle& statement, const std::string& sql) const;
  std::vector<Variant> WithAheadParameters(const std::vector<Variant>& params) const;
  ResultTable ReadFirstResultSet(const OdbcHandle& statement) const;
  void DrainResults(const OdbcHandle& statement) const;
  void SetAutocommit(bool on) const;
  template <typename Call>
  ResultTable CatalogQuery(Call call) const;

  std::string connection_string_;
  OdbcHandle environment_;
  OdbcHandle connection_;
  bool connected_ = false;  // SQLDriverConnect succeeded and Close has not run
  bool in_transaction_ = false;
  bool wide_text_ = true;
  voltrane::dbkind::Kind engine_ = voltrane::dbkind::kNone;
  mutable int last_timeout_seconds_ = 0;  // of the last statement; catalog calls reuse it
  mutable std::vector<AheadStatement> ahead_;  // sent before the next statement (SendAhead)
};

void OdbcBackend::RequireOpen() const {
  if (!connected_) {
    throw DbError(kErrObjectClosed, "Operation is not allowed when the object is closed.");
  }
}

void OdbcBackend::Open(int timeout_seconds) {
  if (connected_) throw DbError(kErrInvalidArgument, "The connection is already open.");
  OdbcHandle environment = NewEnvironment();
  OdbcHandle connection(SQL_HANDLE_DBC, environment.get());
  if (timeout_seconds > 0) {
    SQLSetConnectAttr(connection.get(), SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_seconds)), 0);
  }
  WideText text = ToWide(connection_string_);
  std::array<SQLWCHAR, 1024> completed{};
  SQLSMALLINT completed_length = 0;
  // psqlODBC sets the process's locale while it connects, and setlocale is
  // not thread-safe: two threads connecting at once (the board's clients)
  // corrupted each other's heap. Connects run one at a time.
  static std::mutex connect_mutex;
  std::lock_guard<std::mutex> one_connect_at_a_time(connect_mutex);
  CheckOdbc(SQLDriverConnectW(connection.get(), nullptr, text.data(),
                              static_cast<SQLSMALLINT>(text.size()), completed.data(),
                              static_cast<SQLSMALLINT>(completed.size()), &completed_length,
                              SQL_DRIVER_NOPROMPT),
            connection);
  environment_ = std::move(environment);
  connection_ = std::move(connection);
  connected_ = true;
  in_transaction_ = false;
  engine_ = EngineFromDbmsName(InfoText(SQL_DBMS_NAME));
  wide_text_ = DriverTakesWideText();
}

void OdbcBackend::Close() {
  if (connected_) {
    if (in_transaction_) SQLEndTran(SQL_HANDLE_DBC, dbc(), SQL_ROLLBACK);
    SQLDisconnect(dbc());
  }
  connected_ = false;
  in_transaction_ = false;
  connection_.Reset();
  environment_.Reset();
}

std::string OdbcBackend::InfoText(SQLUSMALLINT info) const {
  std::array<SQLWCHAR, 256> buffer{};
  SQLSMALLINT length = 0;
  const SQLRETURN rc =
      SQLGetInfoW(dbc(), info, buffer.data(),
                  static_cast<SQLSMALLINT>(buffer.size() * sizeof(SQLWCHAR)), &length);
  return SQL_SUCCEEDED(rc) ? FromWideBuffer(buffer.data(), buffer.size()) : "";
}

// sqliteodbc has no wide entry points, and the driver manager's conversion
// for it loses non-ASCII text; its statements and data go as the UTF-8 bytes
// that SQLite stores.
bool OdbcBackend::DriverTakesWideText() const { return engine_ != voltrane::dbkind::kSqlite; }

OdbcHandle OdbcBackend::NewStatement(int timeout_seconds) const {
  RequireOpen();
  last_timeout_seconds_ = timeout_seconds;
  OdbcHandle statement(SQL_HANDLE_STMT, dbc());
  if (timeout_seconds > 0) {
    // Drivers that cannot time out a statement answer with a warning; the
    // statement then runs without a limit.
    SQLSetStmtAttr(statement.get(), SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_seconds)), 0);
  }
  return statement;
}

// Only PostgreSQL: its simple query protocol runs a batch of statements in
// one round trip, and psqlODBC hands back one result per statement.
bool OdbcBackend::SendAhead(const std::vector<AheadStatement>& statements) {
  if (engine_ != voltrane::dbkind::kPostgreSql) return false;
  ahead_ = statements;
  return true;
}

// Returns how many statements went ahead of `sql` (their results come first).
size_t OdbcBackend::Run(const OdbcHandle& statement, const std::string& sql) const {
  std::string batch;
  for (const AheadStatement& ahead : ahead_) batch += ahead.sql + ";";
  const size_t leading = ahead_.size();
  ahead_.clear();  // sent once, whatever happens to the call
  batch += sql;
  if (!wide_text_) {
    // The driver manager's conversion would not keep non-ASCII literals intact.
    CheckOdbc(SQLExecDirect(statement.get(), reinterpret_cast<SQLCHAR*>(batch.data()),
                            static_cast<SQLINTEGER>(batch.size())),
              statement, dbc());
    return leading;
  }
  WideText text = ToWide(batch);
  CheckOdbc(SQLExecDirectW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size())),
            statement, dbc());
  return leading;
}

// The markers of what goes ahead come first in the batch's text.
std::vector<Variant> OdbcBackend::WithAheadParameters(const std::vector<Variant>& params) const {
  std::vector<Variant> all;
  for (const AheadStatement& ahead : ahead_) {
    all.insert(all.end(), ahead.params.begin(), ahead.params.end());
  }
  if (all.empty()) return params;
  all.insert(all.end(), params.begin(), params.end());
  return all;
}

// Skips row counts of a batch until the first result with columns; an empty
// table when the statement produced none.
ResultTable OdbcBackend::ReadFirstResultSet(const OdbcHandle& statement) const {
  for (;;) {
    SQLSMALLINT columns = 0;
    CheckOdbc(SQLNumResultCols(statement.get(), &columns), statement, dbc());
    if (columns > 0) return ReadResultSet(statement, dbc(), wide_text_);
    const SQLRETURN rc = SQLMoreResults(statement.get());
    if (rc == SQL_NO_DATA) return {};
    CheckOdbc(rc, statement, dbc());
  }
}

// Later statements of a batch report their errors only when reached.
void OdbcBackend::DrainResults(const OdbcHandle& statement) const {
  for (;;) {
    const SQLRETURN rc = SQLMoreResults(statement.get());
    if (rc == SQL_NO_DATA) return;
    CheckOdbc(rc, statement, dbc());
  }
}

int64_t OdbcBackend::Execute(const std::string& sql, const std::vector<Variant>& params,
                             int timeout_seconds) {
  OdbcHandle statement = NewStatement(timeout_seconds);
  OdbcParameters bound(wide_text_);
  bound.BindInputs(statement, WithAheadParameters(params));
  const size_t leading = Run(statement, sql);
  for (size_t i = 0; i < leading; ++i) CheckOdbc(SQLMoreResults(statement.get()), statement, dbc());
  SQLLEN rows = 0;
  CheckOdbc(SQLRowCount(statement.get(), &rows), statement, dbc());
  DrainResults(statement);
  return rows < 0 ? -1 : static_cast<int64_t>(rows);
}

ResultTable OdbcBackend::Query(const std::string& sql, const std::vector<Variant>& params,
                               int timeout_seconds) {
  OdbcHandle statement = NewStatement(timeout_seconds);
  OdbcParameters bound(wide_text_);
  bound.BindInputs(statement, WithAheadParameters(params));
  // What went ahead may return rows of its own.
  const size_t leading = Run(statement, sql);
  for (size_t i = 0; i < leading; ++i) CheckOdbc(SQLMoreResults(statement.get()), statement, dbc());
  ResultTable table = ReadFirstResultSet(statement);
  DrainResults(statement);
  return table;
}

void OdbcBackend::SetAutocommit(bool on) const {
  CheckOdbc(SQLSetConnectAttr(dbc(), SQL_ATTR_AUTOCOMMIT,
                              reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(
                                  on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                              SQL_IS_UINTEGER),
            connection_, dbc());
}

void OdbcBackend::BeginTransaction() {
  RequireOpen();
  if (in_transaction_) throw DbError(kErrCommandFailed, "A transaction is already open.");
  SetAutocommit(false);
  in_transaction_ = true;
}

void OdbcBackend::CommitTransaction() {
  RequireOpen();
  if (!in_transaction_) throw DbError(kErrCommandFailed, "No transaction is active.");
  // A failed commit leaves the transaction open for the caller's rollback.
  CheckOdbc(SQLEndTran(SQL_HANDLE_DBC, dbc(), SQL_COMMIT), connection_, dbc());
  in_transaction_ = false;
  SetAutocommit(true);
}

void OdbcBackend::RollbackTransaction() {
  RequireOpen();
  if (!in_transaction_) throw DbError(kErrCommandFailed, "No transaction is active.");
  // A failed rollback leaves the transaction open, so that it can be retried;
  // closing the connection ends it in any case. A lost connection has ended
  // it already (the server rolled it back with the session).
  try {
    CheckOdbc(SQLEndTran(SQL_HANDLE_DBC, dbc(), SQL_ROLLBACK), connection_, dbc());
  } catch (const DbError& error) {
    if (error.number() == kErrGenericFailure) in_transaction_ = false;
    throw;
  }
  in_transaction_ = false;
  SetAutocommit(true);
}

// Runs one catalog function on a fresh statement and reads its result. It
// runs with the timeout of the statements around it: psqlODBC sends a
// "SET statement_timeout" round trip whenever the timeout changes.
template <typename Call>
ResultTable OdbcBackend::CatalogQuery(Call call) const {
  OdbcHandle statement = NewStatement(last_timeout_seconds_);
  CheckOdbc(call(statement.get()), statement, dbc());
  return ReadResultSet(statement, dbc(), wide_text_);
}

// Catalog functions compare names exactly; PostgreSQL folds unquoted names
// to lower case and Oracle to upper case. On PostgreSQL the lower-case
// spelling is asked first, since the library writes names in upper case and
// each miss is a catalog query; elsewhere the name as written comes first.
std::vector<std::string> NameSpellings(const std::string& name, voltrane::dbkind::Kind engine) {
  std::vector<std::string> spellings{engine == voltrane::dbkind::kPostgreSql ? base::Lower(name) : name};
  for (const std::string& other : {name, base::Lower(name), base::Upper(name)}) {
    if (std::find(spellings.begin(), spellings.end(), other) == spellings.end()) {
      spellings.push_back(other);
    }
  }
  return spellings;
}

std::vector<std::string> OdbcBackend::PrimaryKeyColumns(const std::string& table) {
  for (const std::string& spelling : NameSpellings(table, engine_)) {
    WideText name = ToWide(spelling);
    const ResultTable keys = CatalogQuery([&](SQLHSTMT statement) {
      return SQLPrimaryKeysW(statement, nullptr, 0, nullptr, 0, name.data(),
                             static_cast<SQLSMALLINT>(name.size()));
    });
    if (keys.rows.empty()) continue;
    // Result columns: 4 COLUMN_NAME, 5 KEY_SEQ.
    std::map<int64_t, std::string> by_sequence;
    for (const auto& row : keys.rows) by_sequence[row[4].ToInt64()] = row[3].ToText();
    std::vector<std::string> columns;
    for (const auto& [sequence, column] : by_sequence) columns.push_back(column);
    return columns;
  }
  return {};
}

ResultTable OdbcBackend::InsertRow(const std::string& table,
                                   const std::vector<std::string>& columns,
                                   const std::vector<Variant>& values, int timeout_seconds) {
  if (columns.size() != values.size()) {
    throw DbError(kErrInvalidArgument, "The number of columns and values differ.");
  }
  RequireOpen();
  const std::string values_part =
      columns.empty() ? " DEFAULT VALUES" : " VALUES (" + Markers(values.size()) + ")";
  const std::string columns_part = columns.empty() ? "" : " (" + JoinColumns(columns) + ")";
  std::string sql;
  switch (engine_) {
    case voltrane::dbkind::kPostgreSql:
      sql = "INSERT INTO " + table + columns_part + values_part + " RETURNING *";
      break;
    case voltrane::dbkind::kSqlite: {
      // sqliteodbc runs "INSERT ... RETURNING" but hands back no rows; the row
      // just inserted is the one with the connection's last rowid.
      Execute("INSERT INTO " + table + columns_part + values_part, values, timeout_seconds);
      sql = "SELECT * FROM " + table + " WHERE rowid = last_insert_rowid()";
      return RequireOneRow(Query(sql, {}, timeout_seconds));
    }
    case voltrane::dbkind::kSqlServer:
      sql = "INSERT INTO " + table + columns_part + " OUTPUT INSERTED.*" + values_part;
      break;
    default:
      throw DbError(kErrCommandFailed,
                    "Adding a row with its generated key is not supported on this database.");
  }
  return RequireOneRow(Query(sql, values, timeout_seconds));
}

ResultTable OdbcBackend::CallProcedure(const std::string& name, std::vector<Parameter>& params,
                                       int timeout_seconds) {
  OdbcHandle statement = NewStatement(timeout_seconds);
  // The return value is the first marker, before the argument list.
  std::vector<size_t> order;
  for (size_t i = 0; i < params.size(); ++i) {
    if (params[i].direction == ParamDirection::kReturnValue) order.push_back(i);
  }
  if (order.size() > 1) throw DbError(kErrInvalidArgument, "More than one return value.");
  const bool has_return = !order.empty();
  for (size_t i = 0; i < params.size(); ++i) {
    if (params[i].direction != ParamDirection::kReturnValue) order.push_back(i);
  }
  OdbcParameters bound(wide_text_);
  for (size_t index : order) bound.BindProcedureParameter(statement, params[index]);

  const size_t arguments = params.size() - (has_return ? 1 : 0);
  const std::string sql = std::string("{") + (has_return ? "? = " : "") + "call " + name + "(" +
                          Markers(arguments) + ")}";
  Run(statement, sql);
  ResultTable table = ReadFirstResultSet(statement);
  // Output values are complete only once every result has been consumed.
  DrainResults(statement);
  for (size_t marker = 0; marker < order.size(); ++marker) {
    Parameter& parameter = params[order[marker]];
    if (parameter.direction != ParamDirection::kInput) parameter.value = bound.OutputValue(marker);
  }
  return table;
}

std::vector<std::string> OdbcBackend::TableNames() {
  WideText type = ToWide("TABLE");
  const ResultTable tables = CatalogQuery([&](SQLHSTMT statement) {
    return SQLTablesW(statement, nullptr, 0, nullptr, 0, nullptr, 0, type.data(),
                      static_cast<SQLSMALLINT>(type.size()));
  });
  std::vector<std::string> names;
  for (const auto& row : tables.rows) {
    // Result column 3: TABLE_NAME. SQLite keeps its own bookkeeping tables beside the user's.
    std::string name = row[2].ToText();
    if (engine_ == voltrane::dbkind::kSqlite && base::Lower(name).rfind("sqlite_", 0) == 0) continue;
    names.push_back(std::move(name));
  }
  return names;
}

std::vector<std::string> OdbcBackend::IndexNames(const std::string& table) {
  if (table.empty()) {
    std::vector<std::string> all;
    for (const std::string& name : TableNames()) {
      for (std::string& index : IndexNames(name)) all.push_back(std::move(index));
    }
    return all;
  }
  for (const std::string& spelling : NameSpellings(table, engine_)) {
    WideText name = ToWide(spelling);
    const ResultTable statistics = CatalogQuery([&](SQLHSTMT statement) {
      return SQLStatisticsW(statement, nullptr, 0, nullptr, 0, name.data(),
                            static_cast<SQLSMALLINT>(name.size()), SQL_INDEX_ALL, SQL_QUICK);
    });
    // Result columns: 6 INDEX_NAME, 7 TYPE (SQL_TABLE_STAT rows name no index).
    std::vector<std::string> names;
    for (const auto& row : statistics.rows) {
      if (row[5].IsNull() || row[6].ToInt64() == SQL_TABLE_STAT) continue;
      std::string index = row[5].ToText();
      if (std::find(names.begin(), names.end(), index) == names.end()) names.push_back(index);
    }
    if (!names.empty()) return names;
  }
  return {};
}

}  // namespace

std::unique_ptr<Backend> MakeOdbcBackend(const std::string& odbc_connection_string) {
  return std::make_unique<OdbcBackend>(odbc_connection_string);
}

bool OdbcDriverInstalled(const std::string& driver_name) {
  try {
    OdbcHandle environment = NewEnvironment();
    const std::string wanted = base::Lower(driver_name);
    std::array<SQLCHAR, 256> description{};
    std::array<SQLCHAR, 1024> attributes{};
    SQLSMALLINT description_length = 0;
    SQLSMALLINT attributes_length = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDrivers(
        environment.get(), direction, description.data(),
        static_cast<SQLSMALLINT>(description.size()), &description_length, attributes.data(),
        static_cast<SQLSMALLINT>(attributes.size()), &attributes_length))) {
      if (base::Lower(reinterpret_cast<const char*>(description.data())) == wanted) return true;
      direction = SQL_FETCH_NEXT;
    }
  } catch (const DbError&) {
    // Without a driver manager no driver is installed.
  }
  return false;
}

}  // namespace dbaccess
