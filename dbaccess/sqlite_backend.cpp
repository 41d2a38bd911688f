// SqliteBackend: the Backend over libsqlite3, for the embedded database file.
//
// Connections open the file read-write (creating it, readable by its owner's
// group at most: it holds the plant's records, and SQLite gives its -wal and
// -shm files the database's mode; root creates it for the folder's owner),
// switch it to WAL and set
// a busy timeout, so several processes share the file: readers never block
// the writer and a writer waits up to the busy timeout before it reports the
// database as locked (kErrTimeout). Transactions begin IMMEDIATE so that a
// locked database shows at the begin, where the callers' retries sit, rather
// than in the middle of a handler. Column types come from the declared types
// of the table columns; date-time columns hold canonical text and are read
// back as DateTime. SQLite has no statement timeout; `timeout_seconds` is not
// used beyond the busy timeout. One thread at a time per backend.
#include "dbaccess/sqlite_backend.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <string>

#include "base/ascii_case.h"
#include "dbaccess/db_error.h"
#include "dbaccess/metadata_caching.h"
#include "dbaccess/sqlite_statement_cache.h"

namespace dbaccess {
namespace {

constexpr mode_t kNewFileMode = 0640;

// Gives the open file `fd` at `path` to the owner of its folder unless that is root; false
// when it stays root's (the account then finds it cannot write it, and says so).
bool GiveToFolderOwner(int fd, const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  struct stat info {};
  if (stat(folder.empty() ? "." : folder.c_str(), &info) != 0 || info.st_uid == 0) return false;
  return fchown(fd, info.st_uid, info.st_gid) == 0;
}

constexpr int kDefaultBusyTimeoutMs = 5000;
// Prepared statements kept per connection. A drain of the 20-machine mix
// repeats a few hundred texts; each kept statement costs a few kilobytes.
constexpr size_t kCachedStatements = 500;

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

std::string QuoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

// The system's error number for a SQLite result code and message.
DbError MakeError(int code, const std::string& message) {
  const std::string native = std::to_string(code);
  switch (code & 0xff) {
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
      return DbError(kErrGenericFailure, message, native);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      // Callers recognise the lock by this text, whatever the engine said.
      return DbError(
          kErrTimeout,
          Contains(message, "database is locked") ? message : "database is locked: " + message,
          native);
    default:
      if (message.rfind("no such table", 0) == 0) {
        return DbError(kErrTableNotFound, message, native);
      }
      return DbError(kErrCommandFailed, message, native);
  }
}

[[noreturn]] void ThrowFor(sqlite3* db, int code) {
  throw MakeError(code, db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code));
}

// Sizes in parentheses of a declared type: "VARCHAR(50)", "DECIMAL(10,2)".
void ReadTypeSizes(const std::string& declared, int64_t* first, int* second) {
  const auto open = declared.find('(');
  if (open == std::string::npos) return;
  try {
    size_t used = 0;
    *first = std::stoll(declared.substr(open + 1), &used);
    const auto comma = declared.find(',', open);
    if (comma != std::string::npos) *second = std::stoi(declared.substr(comma + 1));
  } catch (const std::exception&) {
    // A size that is not a number leaves the defaults.
  }
}

// Fills type, size, precision and scale from a declared column type. Returns
// false when the declared type says nothing (expressions), so that the type is
// taken from the values.
bool ApplyDeclaredType(const std::string& declared_text, ColumnInfo* column) {
  const std::string declared = base::Upper(declared_text);
  if (declared.empty()) return false;
  int64_t size = 0;
  int scale = 0;
  ReadTypeSizes(declared, &size, &scale);
  if (Contains(declared, "DATE") || Contains(declared, "TIMESTAMP")) {
    column->type = FieldType::kDateTime;
    column->defined_size = 8;
    column->precision = 23;
    column->scale = 3;
  } else if (Contains(declared, "BOOL") || declared.rfind("BIT", 0) == 0) {
    column->type = FieldType::kBoolean;
    column->defined_size = 2;
  } else if (Contains(declared, "INT")) {
    column->type = FieldType::kInteger;
    column->defined_size = 8;
    column->precision = 19;
  } else if (Contains(declared, "CHAR") || Contains(declared, "TEXT") ||
             Contains(declared, "CLOB")) {
    column->type = FieldType::kText;
    column->defined_size = size > 0 ? size : 0;
  } else if (Contains(declared, "REAL") || Contains(declared, "FLOA") ||
             Contains(declared, "DOUB") || Contains(declared, "SINGLE")) {
    column->type = FieldType::kDouble;
    column->defined_size = 8;
    column->precision = 15;
  } else if (Contains(declared, "NUMERIC") || Contains(declared, "DECIMAL") ||
             Contains(declared, "NUMBER")) {
    column->type = FieldType::kDecimal;
    column->defined_size = 19;
    column->precision = size > 0 ? static_cast<int>(size) : 18;
    column->scale = scale;
  } else if (Contains(declared, "BLOB") || Contains(declared, "BINARY")) {
    column->type = FieldType::kBinary;
    column->defined_size = size;
  } else {
    return false;
  }
  return true;
}

// One prepared statement in use: either owned (finalized at the end) or
// borrowed from the statement cache (reset and unbound at the end, so that it
// holds no read snapshot and no values between uses).
class Statement {
 public:
  Statement(sqlite3* db, const char** tail, const char* end) : db_(db) {
    const int rc = sqlite3_prepare_v2(db, *tail, static_cast<int>(end - *tail), &stmt_, tail);
    if (rc != SQLITE_OK) ThrowFor(db, rc);
  }
  Statement(sqlite3* db, sqlite3_stmt* cached) : db_(db), stmt_(cached), owned_(false) {}
  ~Statement() {
    if (owned_) {
      sqlite3_finalize(stmt_);
    } else {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Hands an owned statement over to the cache: it is then only reset at the end.
  sqlite3_stmt* Lend() {
    owned_ = false;
    return stmt_;
  }

  // Null for text that holds only blanks or comments.
  sqlite3_stmt* get() const { return stmt_; }

  // Binds this statement's markers from params[*next] on.
  void Bind(const std::vector<Variant>& params, size_t* next) {
    const int count = sqlite3_bind_parameter_count(stmt_);
    for (int i = 1; i <= count; ++i) {
      if (*next >= params.size()) {
        throw DbError(kErrCommandFailed, "No value given for one or more required parameters.");
      }
      BindOne(i, params[(*next)++]);
    }
  }

  // Steps once; true while a row is available.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    ThrowFor(db_, rc);
  }

 private:
  void BindOne(int index, const Variant& value) {
    int rc = SQLITE_OK;
    switch (value.Type()) {
      case VariantType::kEmpty:
      case VariantType::kNull:
        rc = sqlite3_bind_null(stmt_, index);
        break;
      case VariantType::kInteger:
        rc = sqlite3_bind_int64(stmt_, index, value.ToInt64());
        break;
      case VariantType::kBool:
        rc = sqlite3_bind_int(stmt_, index, value.ToBool() ? 1 : 0);
        break;
      case VariantType::kDouble:
        rc = sqlite3_bind_double(stmt_, index, value.ToDouble());
        break;
      case VariantType::kText:
      case VariantType::kDateTime: {
        const std::string text = value.ToText();  // date-times as canonical text
        rc = sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                               SQLITE_TRANSIENT);
        break;
      }
    }
    if (rc != SQLITE_OK) ThrowFor(db_, rc);
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  bool owned_ = true;
};

std::string TextOf(const char* text) { return text != nullptr ? text : ""; }

bool OnlyBlanks(const char* from, const char* end) {
  return std::all_of(from, end, [](unsigned char c) { return std::isspace(c); });
}

std::string FirstWord(const std::string& sql) {
  const auto start = sql.find_first_not_of(" \t\r\n(");
  if (start == std::string::npos) return "";
  auto stop = start;
  while (stop < sql.size() && std::isalpha(static_cast<unsigned char>(sql[stop]))) ++stop;
  return base::Upper(sql.substr(start, stop - start));
}

// Statements worth keeping prepared: reads, writes and transaction control.
bool IsDataStatement(const std::string& sql) {
  const std::string word = FirstWord(sql);
  return word == "SELECT" || word == "INSERT" || word == "UPDATE" || word == "DELETE" ||
         word == "WITH" || word == "BEGIN" || word == "COMMIT" || word == "ROLLBACK";
}

// Statements after which kept column descriptions may no longer hold.
bool ChangesSchema(const std::string& sql) {
  const std::string word = FirstWord(sql);
  return word == "CREATE" || word == "ALTER" || word == "DROP";
}

Variant ReadValue(sqlite3_stmt* stmt, int index, const ColumnInfo& column) {
  switch (sqlite3_column_type(stmt, index)) {
    case SQLITE_NULL:
      return Variant::Null();
    case SQLITE_INTEGER: {
      const int64_t value = sqlite3_column_int64(stmt, index);
      if (column.type == FieldType::kBoolean) return Variant(value != 0);
      if (column.type == FieldType::kDouble) return Variant(static_cast<double>(value));
      if (column.type == FieldType::kText) return Variant(std::to_string(value));
      return Variant(static_cast<long long>(value));
    }
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(stmt, index));
    default: {
      const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, index));
      std::string text(data != nullptr ? data : "",
                       static_cast<size_t>(sqlite3_column_bytes(stmt, index)));
      if (column.type == FieldType::kDateTime) {
        if (auto parsed = DateTime::Parse(text)) return Variant(*parsed);
      }
      return Variant(std::move(text));
    }
  }
}

class SqliteBackend : public Backend {
 public:
  SqliteBackend(std::string path, bool synchronous_full, int busy_timeout_ms)
      : path_(std::move(path)),
        synchronous_full_(synchronous_full),
        busy_timeout_ms_(busy_timeout_ms) {}
  ~SqliteBackend() override { Close(); }

  void Open(int /*timeout_seconds*/) override {
    Close();
    CreateMissingFile();
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
      const DbError error = MakeError(
          rc, fmt::format("{} ({})", db ? sqlite3_errmsg(db) : sqlite3_errstr(rc), path_));
      sqlite3_close(db);
      throw error;
    }
    db_ = db;
    if (MetadataCaching()) cache_ = std::make_unique<SqliteStatementCache>(kCachedStatements);
    try {
      sqlite3_busy_timeout(db_, busy_timeout_ms_);
      RunPlain("PRAGMA journal_mode=WAL");
      RunPlain(synchronous_full_ ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL");
    } catch (const DbError&) {
      Close();
      throw;
    }
  }

  // An empty file is an empty database; made here because SQLite would create it 0644.
  // Made by root in a folder of another account (the collector's base folder), it belongs
  // to that account, which must write it; SQLite gives its journals the same owner. An
  // existing file, an in-memory database or a URI is left to SQLite.
  void CreateMissingFile() const {
    if (path_ == ":memory:" || path_.rfind("file:", 0) == 0) return;
    const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (fd < 0) return;
    if (geteuid() == 0) GiveToFolderOwner(fd, path_);
    close(fd);
  }

  void Close() override {
    cache_.reset();  // its statements are finalized before the connection closes
    if (db_ == nullptr) return;
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }

  bool IsOpen() const override { return db_ != nullptr; }
  voltrane::dbkind::Kind Engine() const override { return voltrane::dbkind::kSqlite; }

  int64_t Execute(const std::string& sql, const std::vector<Variant>& params,
                  int /*timeout_seconds*/) override {
    int64_t affected = 0;
    RunAll(sql, params, [&](Statement& statement, SqliteStatementCache::Entry*) {
      const int64_t before = sqlite3_total_changes64(db_);
      while (statement.Step()) {
      }
      // DDL leaves sqlite3_changes at the previous statement's count.
      affected = sqlite3_total_changes64(db_) == before ? 0 : sqlite3_changes64(db_);
    });
    return affected;
  }

  ResultTable Query(const std::string& sql, const std::vector<Variant>& params,
                    int /*timeout_seconds*/) override {
    ResultTable result;
    RunAll(sql, params, [&](Statement& statement, SqliteStatementCache::Entry* cached) {
      if (sqlite3_column_count(statement.get()) == 0) {
        while (statement.Step()) {
        }
        return;
      }
      result = ReadAll(statement, cached);  // a batch yields its last result set
    });
    return result;
  }

  void BeginTransaction() override { RunPlain("BEGIN IMMEDIATE"); }
  void CommitTransaction() override { RunPlain("COMMIT"); }
  void RollbackTransaction() override {
    // An error such as SQLITE_FULL may already have rolled the transaction back.
    if (RequireOpen() && sqlite3_get_autocommit(db_) == 0) RunPlain("ROLLBACK");
  }

  std::vector<std::string> PrimaryKeyColumns(const std::string& table) override {
    return FirstColumnTexts("SELECT name FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk",
                            {Variant(table)});
  }

  ResultTable InsertRow(const std::string& table, const std::vector<std::string>& columns,
                        const std::vector<Variant>& values, int timeout_seconds) override {
    std::string sql = "INSERT INTO " + QuoteIdentifier(table);
    if (columns.empty()) {
      sql += " DEFAULT VALUES";
    } else {
      std::string names, markers;
      for (size_t i = 0; i < columns.size(); ++i) {
        names += (i ? ", " : "") + QuoteIdentifier(columns[i]);
        markers += i ? ", ?" : "?";
      }
      sql += " (" + names + ") VALUES (" + markers + ")";
    }
    return Query(sql + " RETURNING *", values, timeout_seconds);
  }

  ResultTable CallProcedure(const std::string& name, std::vector<Parameter>& /*params*/,
                            int /*timeout_seconds*/) override {
    throw DbError(kErrCommandFailed, "SQLite has no stored procedures; cannot call " + name + ".");
  }

  std::vector<std::string> TableNames() override {
    return FirstColumnTexts(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
        "ESCAPE '\\' ORDER BY name",
        {});
  }

  std::vector<std::string> IndexNames(const std::string& table) override {
    return FirstColumnTexts(
        "SELECT name FROM sqlite_master WHERE type = 'index' AND name NOT LIKE 'sqlite\\_%' "
        "ESCAPE '\\' AND (? = '' OR tbl_name = ? COLLATE NOCASE) ORDER BY name",
        {Variant(table), Variant(table)});
  }

 private:
  bool RequireOpen() const {
    if (db_ == nullptr) {
      throw DbError(kErrGenericFailure, "The connection to the SQLite database is closed.",
                    std::to_string(SQLITE_MISUSE));
    }
    return true;
  }

  void RunPlain(const char* sql) { Execute(sql, {}, 0); }

  // Prepares and runs each statement of `sql` in turn, binding the markers of
  // all statements from `params` in order; `run` gets the statement and its
  // cache entry (null when not cached). A text of one data statement is
  // taken from the statement cache or kept there; a schema change empties it.
  template <typename Fn>
  void RunAll(const std::string& sql, const std::vector<Variant>& params, Fn&& run) {
    RequireOpen();
    size_t next = 0;
    if (SqliteStatementCache::Entry* cached = cache_ ? cache_->Find(sql) : nullptr) {
      Statement statement(db_, cached->statement);
      statement.Bind(params, &next);
      run(statement, cached);
    } else {
      if (cache_ && ChangesSchema(sql)) cache_->Clear();
      const char* tail = sql.c_str();
      const char* end = tail + sql.size();
      bool first = true;
      while (tail < end) {
        Statement statement(db_, &tail, end);
        if (statement.get() == nullptr) continue;  // blanks or comments only
        SqliteStatementCache::Entry* entry = nullptr;
        if (first && cache_ && OnlyBlanks(tail, end) && IsDataStatement(sql)) {
          entry = cache_->Add(sql, statement.Lend());
        }
        first = false;
        statement.Bind(params, &next);
        run(statement, entry);
      }
    }
    if (next != params.size()) {
      throw DbError(kErrCommandFailed, "More parameter values were given than the statement uses.");
    }
  }

  // Sets *typed to false when the type must come from the values.
  ColumnInfo DescribeColumn(sqlite3_stmt* stmt, int index, bool* typed) {
    ColumnInfo column;
    column.name = TextOf(sqlite3_column_name(stmt, index));
    column.base_table = TextOf(sqlite3_column_table_name(stmt, index));
    column.base_column = TextOf(sqlite3_column_origin_name(stmt, index));
    *typed = ApplyDeclaredType(TextOf(sqlite3_column_decltype(stmt, index)), &column);
    if (!column.base_table.empty()) {
      int not_null = 0, primary_key = 0, autoincrement = 0;
      if (sqlite3_table_column_metadata(
              db_, TextOf(sqlite3_column_database_name(stmt, index)).c_str(),
              column.base_table.c_str(), column.base_column.c_str(), nullptr, nullptr, &not_null,
              &primary_key, &autoincrement) == SQLITE_OK) {
        column.nullable = not_null == 0 && primary_key == 0;
      }
    }
    return column;
  }

  // Reads every row; the column descriptions come from `cached` when it has
  // them for this many columns, and are kept there otherwise.
  ResultTable ReadAll(Statement& statement, SqliteStatementCache::Entry* cached) {
    sqlite3_stmt* stmt = statement.get();
    ResultTable result;
    const int count = sqlite3_column_count(stmt);
    std::vector<bool> typed(static_cast<size_t>(count));
    if (cached && cached->described && cached->columns.size() == static_cast<size_t>(count)) {
      result.columns = cached->columns;
      typed = cached->typed;
    } else {
      for (int i = 0; i < count; ++i) {
        bool declared = false;
        result.columns.push_back(DescribeColumn(stmt, i, &declared));
        typed[static_cast<size_t>(i)] = declared;
      }
      if (cached) {
        cached->columns = result.columns;
        cached->typed = typed;
        cached->described = true;
      }
    }
    // Undeclared columns read by storage class: the binary type passes values through.
    std::vector<ColumnInfo> read_as = result.columns;
    for (size_t i = 0; i < read_as.size(); ++i) {
      if (!typed[i]) read_as[i].type = FieldType::kBinary;
    }
    while (statement.Step()) {
      std::vector<Variant> row;
      row.reserve(static_cast<size_t>(count));
      for (int i = 0; i < count; ++i) {
        row.push_back(ReadValue(stmt, i, read_as[static_cast<size_t>(i)]));
      }
      result.rows.push_back(std::move(row));
    }
    for (size_t i = 0; i < typed.size(); ++i) {
      if (!typed[i]) TypeFromValues(result, i);
    }
    return result;
  }

  // Expression columns take their type from the first value that is not null.
  static void TypeFromValues(ResultTable& result, size_t index) {
    ColumnInfo& column = result.columns[index];
    column.type = FieldType::kText;
    for (const auto& row : result.rows) {
      if (row[index].IsNull()) continue;
      if (row[index].Type() == VariantType::kInteger) column.type = FieldType::kInteger;
      if (row[index].Type() == VariantType::kDouble) column.type = FieldType::kDouble;
      break;
    }
    column.defined_size = column.type == FieldType::kText ? 0 : 8;
  }

  std::vector<std::string> FirstColumnTexts(const std::string& sql,
                                            const std::vector<Variant>& params) {
    std::vector<std::string> texts;
    for (const auto& row : Query(sql, params, 0).rows) texts.push_back(row[0].ToText());
    return texts;
  }

  const std::string path_;
  const bool synchronous_full_;
  const int busy_timeout_ms_;
  sqlite3* db_ = nullptr;  // non-null iff open
  std::unique_ptr<SqliteStatementCache> cache_;  // null when closed or caching is off
};

int BusyTimeoutFrom(const std::vector<ConnectionItem>& items) {
  const std::string text = FindConnectionValue(items, "Busy Timeout");
  if (text.empty()) return kDefaultBusyTimeoutMs;
  try {
    const int value = std::stoi(text);
    if (value >= 0) return value;
  } catch (const std::exception&) {
  }
  throw DbError(kErrInvalidArgument, "Busy Timeout must be a number of milliseconds: " + text);
}

std::string TrimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::unique_ptr<Backend> MakeSqliteBackend(const std::vector<ConnectionItem>& items) {
  const std::string path = TrimBlanks(FindConnectionValue(items, "Data Source"));
  if (path.empty()) {
    throw DbError(kErrInvalidArgument, "The SQLite connection string names no Data Source.");
  }
  const bool full = base::Upper(TrimBlanks(FindConnectionValue(items, "Synchronous"))) == "FULL";
  return std::make_unique<SqliteBackend>(path, full, BusyTimeoutFrom(items));
}

}  // namespace dbaccess
