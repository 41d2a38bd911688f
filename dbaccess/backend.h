// Backend: what one database engine or driver must provide to the platform
// layer. Connection, Recordset and Command are written once over this
// interface; SqliteBackend (libsqlite3) and OdbcBackend (unixODBC) implement it.
//
// Every operation throws DbError with the mapped number on failure. A backend
// is used by one thread at a time.
#ifndef VOLTRANE_DBACCESS_BACKEND_H_
#define VOLTRANE_DBACCESS_BACKEND_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/database_kind.h"
#include "dbaccess/variant.h"

namespace dbaccess {

// Field types as the platform reports them.
enum class FieldType { kInteger, kDouble, kDecimal, kText, kDateTime, kBoolean, kBinary };

struct ColumnInfo {
  std::string name;
  FieldType type = FieldType::kText;
  int64_t defined_size = 0;  // characters for text, bytes otherwise
  int precision = 0;
  int scale = 0;
  bool nullable = true;
  std::string base_table;   // "" when not a plain column of one table
  std::string base_column;
};

struct ResultTable {
  std::vector<ColumnInfo> columns;
  std::vector<std::vector<Variant>> rows;
};

struct AheadStatement {
  std::string sql;
  std::vector<Variant> params;
};

enum class ParamDirection { kInput, kOutput, kInputOutput, kReturnValue };
enum class ParamType { kInteger, kText, kDateTime, kBoolean };

struct Parameter {
  std::string name;
  ParamType type = ParamType::kInteger;
  ParamDirection direction = ParamDirection::kInput;
  int size = 0;  // characters, for text
  Variant value;
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Opens the engine connection. `timeout_seconds` bounds lock waits or the
  // login, where the engine has such a setting.
  virtual void Open(int timeout_seconds) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Which SQL engine sits behind the backend (dbkind::kNone when unknown);
  // Connection::Kind() reports it.
  virtual voltrane::dbkind::Kind Engine() const = 0;

  // Runs one statement with positional "?" parameters; returns affected rows
  // (0 for statements that change nothing, -1 when the engine cannot tell).
  virtual int64_t Execute(const std::string& sql, const std::vector<Variant>& params,
                          int timeout_seconds) = 0;
  // Runs a query and reads every row.
  virtual ResultTable Query(const std::string& sql, const std::vector<Variant>& params,
                            int timeout_seconds) = 0;

  // Statements that return no rows, to travel ahead of the next Execute,
  // Query or InsertRow in the same round trip, each with its own positional
  // parameters; the call's result is its own statement's. False when the
  // engine cannot take them so: the caller then runs them alone. An empty
  // list forgets what was given.
  virtual bool SendAhead(const std::vector<AheadStatement>& statements) {
    (void)statements;
    return false;
  }

  virtual void BeginTransaction() = 0;
  virtual void CommitTransaction() = 0;
  virtual void RollbackTransaction() = 0;

  // Primary key columns of a table, in key order; empty when it has none.
  virtual std::vector<std::string> PrimaryKeyColumns(const std::string& table) = 0;

  // Inserts one row and returns it as stored (generated key and defaults filled).
  virtual ResultTable InsertRow(const std::string& table, const std::vector<std::string>& columns,
                                const std::vector<Variant>& values, int timeout_seconds) = 0;

  // Calls a stored procedure; output, in/out and return-value parameters are
  // filled on return. Returns the first result set, if the call produced one.
  virtual ResultTable CallProcedure(const std::string& name, std::vector<Parameter>& params,
                                    int timeout_seconds) = 0;

  // Schema lists: user tables, and the indexes of one table (all tables when "").
  virtual std::vector<std::string> TableNames() = 0;
  virtual std::vector<std::string> IndexNames(const std::string& table) = 0;
};

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_BACKEND_H_
