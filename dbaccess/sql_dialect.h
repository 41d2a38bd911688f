// Dialect: what one database kind's SQL and engine differ in, as one value per
// kind, so that callers ask the dialect instead of comparing kinds.
//
// Every text is exact, blanks included, because callers splice it as it is.
// The rows live in one table (sql_dialect.cpp), one row per kind; a kind the
// system does not know gets an empty row: every text "", every answer the
// plain statement path. The fragment functions of dialect.h and
// query_dialect.h read their shared texts (the table hint, the database's
// time, operators) from the same rows. Immutable values: safe from any thread.
#ifndef VOLTRANE_DBACCESS_SQL_DIALECT_H_
#define VOLTRANE_DBACCESS_SQL_DIALECT_H_

#include <array>
#include <cstdint>
#include <string>

#include "dbaccess/database_kind.h"

namespace voltrane {

// How a statement keeps only its first rows.
enum class RowLimit {
  kNone,    // the kind has no form (unknown kinds)
  kTop,     // "select top n ..." (SQL Server, Access)
  kRownum,  // an outer "where ROWNUM <= n" over the ordered statement (Oracle)
  kLimit,   // a trailing "LIMIT n" (SQLite, PostgreSQL)
};

// How the key of a new machine data, downtime or scrap row comes back.
enum class InsertedKey {
  kInsertedRow,    // the backend's InsertRow hands back the stored row
  kIdentityBatch,  // one insert batch ending in SELECT SCOPE_IDENTITY() (SQL Server)
};

// Where the multi-statement steps of the event records run.
enum class EventSteps {
  kStatements,        // plain statements and updatable recordsets
  kStoredProcedures,  // the procedures installed on SQL Server
  kServerFunctions,   // the PL/pgSQL functions installed on PostgreSQL
};

// How the log intake's insert runs as a statement the database has planned before.
enum class PlannedInserts {
  kNone,             // plain statement text every time
  kBoundParameters,  // "?1".."?n" bound on the connection's cached statement (SQLite)
  kSessionPrepare,   // PREPARE once per server session, then EXECUTE; "$1".."$n" (PostgreSQL)
};

// The connection form the service manager's wizard shows for a kind.
enum class ConnectionForm {
  kNone,        // unknown kinds
  kServer,      // server, database and credentials (SQL Server, PostgreSQL)
  kOracleHost,  // user, password and the Oracle host/service
  kFilePath,    // one database file (Access, SQLite)
};

// Column kinds of the library's own tables (columnkind in schema_statements.h).
inline constexpr size_t kColumnKindCount = 9;

struct Dialect {
  int32_t kind = dbkind::kNone;

  // Table hint after a table name and alias in reads: " with (NOLOCK)" on SQL Server.
  const char* table_hint = "";
  // The database's current local time (with milliseconds on SQLite and PostgreSQL).
  const char* current_time = "";
  // The time expression is an operator expression, parenthesised where it is an operand.
  bool current_time_is_sum = false;
  // Completes "select " + current_time into a statement (" from dual" on Oracle).
  const char* from_dual = "";
  // Text concatenation operator.
  const char* concat_operator = "";
  // Opens a text literal: N' where texts are national characters.
  const char* text_literal_open = "";

  RowLimit row_limit = RowLimit::kNone;
  InsertedKey inserted_key = InsertedKey::kInsertedRow;
  EventSteps event_steps = EventSteps::kStatements;
  PlannedInserts planned_inserts = PlannedInserts::kNone;
  // UPDATE over a join (SQL Server, Access); else a correlated subquery.
  bool joined_update = false;
  // The table alias of an UPDATE needs AS (SQLite); Oracle refuses it.
  bool update_alias_takes_as = false;
  // Savepoint statements before the savepoint's name; "" where there is none
  // (release on SQL Server and Oracle; all three on Access).
  const char* savepoint_set = "";
  const char* savepoint_release = "";
  const char* savepoint_rollback = "";
  // A SQL Server connection string that fails directly is tried again
  // through the connection class and its provider fallbacks.
  bool connection_fallbacks = false;
  // A CREATE commits the open transaction (Oracle).
  bool ddl_commits = false;
  // Long columns are read through a server-side cursor (Oracle).
  bool long_columns_server_cursor = false;
  // The engine runs inside the process on one database file (SQLite).
  bool embedded = false;
  // Tables and indexes are listed by the provider, not by a catalogue query (Access).
  bool catalogue_from_provider = false;
  // New keys come from a sequence and a trigger per table (Oracle).
  bool sequence_keys = false;
  // Indexes are NONCLUSTERED and carry extra columns as INCLUDE (SQL Server).
  bool index_includes = false;
  // Several collectors may share the log as a collector group (a server
  // database whose clock and row locks every member sees alike).
  bool collector_groups = false;
  // What a collector group needs besides (server kinds only, "" elsewhere):
  // a query that takes a lock named by the quoted text {key}, held to the
  // end of the transaction; a query of the next value of sequence
  // {sequence}; the statement that ends the session of a transaction left
  // idle for {milliseconds}.
  const char* transaction_lock_query = "";
  const char* next_value_query = "";
  const char* idle_transaction_timeout = "";
  // Catalogue queries; {name} is the quoted object name.
  const char* table_exists_query = "";
  const char* index_exists_query = "";
  // Type texts of the column kinds, "" for a kind without a schema.
  std::array<const char*, kColumnKindCount> column_types = {"", "", "", "", "", "", "", "", ""};
  // The statement that refreshes the planner's statistics; "" where none is run.
  const char* analyze_statement = "";
  // The shop-floor schema script this system runs itself ("" where the
  // server's own tools run the script), and what the demo plant needs after
  // its rows (PostgreSQL's key sequences).
  const char* schema_script = "";
  const char* demo_plant_tail_script = "";

  // Report expressions; {a}, {b}, {from}, {to}, {x} are the operands.
  const char* wall_hours = "";     // hours from {from} to {to}, as a floating number
  const char* earlier = "";        // the earliest of {a} and {b}
  const char* later = "";          // the latest of {a} and {b}
  const char* next_midnight = "";  // midnight at the end of the day of {x}

  // The service manager. Settings store: the DatabaseType value naming the
  // kind and the value holding its connection string.
  const char* settings_name = "";
  const char* connection_string_value = "";
  // The kind's name as the manager prints it.
  const char* display_name = "";
  ConnectionForm connection_form = ConnectionForm::kNone;
  // The oldest shop-floor schema version the manager works with.
  int64_t oldest_schema_version = 0;
  // File kinds: the connection string of the database file {path}.
  const char* file_connection_string = "";
  // Server kinds: the provider the connection string names; "" where the
  // user picks it (SQL Server's providers).
  const char* fixed_provider = "";
  // The database a server connection opens to list the server's databases;
  // "" where the server lists them without one.
  const char* maintenance_database = "";
  const char* database_list_query = "";

  // " with (NOLOCK) " on SQL Server, "" elsewhere: the hint as statements
  // place it between two blanks.
  std::string SpacedTableHint() const;
  // The marker before a parameter's number in a planned insert ("?" or "$").
  const char* ParameterMarker() const {
    return planned_inserts == PlannedInserts::kSessionPrepare ? "$" : "?";
  }
  // "select " + current_time + from_dual.
  std::string CurrentTimeQuery() const;
  // current_time as an operand of a larger expression.
  std::string CurrentTimeOperand() const;
  bool HasSavepoints() const { return savepoint_set[0] != '\0'; }

  std::string TableExistsQuery(const std::string& quoted_name) const;
  std::string IndexExistsQuery(const std::string& quoted_name) const;

  std::string WallHours(const std::string& from, const std::string& to) const;
  std::string Earlier(const std::string& a, const std::string& b) const;
  std::string Later(const std::string& a, const std::string& b) const;
  std::string NextMidnight(const std::string& expression) const;
  std::string FileConnectionString(const std::string& path) const;
  std::string TransactionLockQuery(const std::string& quoted_key) const;
  std::string NextValueQuery(const std::string& sequence) const;
  std::string IdleTransactionTimeout(int64_t milliseconds) const;
};

// The row of `kind`; the empty row for a kind the system does not know.
const Dialect& DialectOf(int32_t kind);

}  // namespace voltrane

#endif  // VOLTRANE_DBACCESS_SQL_DIALECT_H_
