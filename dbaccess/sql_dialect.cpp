// The one row per database kind. See sql_dialect.h.
#include "dbaccess/sql_dialect.h"

#include <fmt/format.h>

#include <iterator>

namespace voltrane {

namespace {

constexpr Dialect kOracle = {
    .kind = dbkind::kOracle,
    .current_time = "CURRENT_DATE",
    .from_dual = " from dual",
    .concat_operator = "||",
    .text_literal_open = "N'",
    .row_limit = RowLimit::kRownum,
    .savepoint_set = "SAVEPOINT ",
    .savepoint_rollback = "ROLLBACK TO SAVEPOINT ",
    .ddl_commits = true,
    .long_columns_server_cursor = true,
    .sequence_keys = true,
    .table_exists_query = "SELECT TABLE_NAME FROM sys.all_tables WHERE TABLE_NAME = {name}",
    .index_exists_query = "SELECT COUNT(*) FROM user_indexes WHERE index_name = {name}",
    .column_types = {"NUMBER(16,6)", "NUMBER(10,0)", "NUMBER(10,0) NOT NULL PRIMARY KEY",
                     "VARCHAR2(50)", "VARCHAR2(40)", "VARCHAR2(255)", "VARCHAR2(255)", "LONG",
                     "DATE"},
    .wall_hours = "(({to} - {from}) * 24)",
    .earlier = "least({a}, {b})",
    .later = "greatest({a}, {b})",
    .next_midnight = "(TRUNC({x}) + 1)",
    .settings_name = "Oracle",
    .connection_string_value = "OracleConnectionString",
    .display_name = "Oracle",
    .connection_form = ConnectionForm::kOracleHost,
    .oldest_schema_version = 3174,
};

constexpr Dialect kAccess = {
    .kind = dbkind::kAccess,
    .current_time = "Date()+Time()",
    .current_time_is_sum = true,
    .concat_operator = "&",
    .text_literal_open = "'",
    .row_limit = RowLimit::kTop,
    .joined_update = true,
    .catalogue_from_provider = true,
    .table_exists_query = "SELECT Name as TABLE_NAME FROM MsysObjects WHERE Name = {name}",
    .column_types = {"DOUBLE", "INTEGER", "COUNTER NOT NULL PRIMARY KEY", "VARCHAR(50)",
                     "VARCHAR(40)", "VARCHAR(255)", "VARCHAR(255)", "TEXT", "DATETIME"},
    .wall_hours = "(DateDiff('s', {from}, {to}) / 3600)",
    .earlier = "IIf({a} < {b}, {a}, {b})",
    .later = "IIf({a} > {b}, {a}, {b})",
    .next_midnight = "DateAdd('d', 1, DateValue({x}))",
    .settings_name = "Access",
    .connection_string_value = "AccessConnectionString",
    .display_name = "Microsoft Access",
    .connection_form = ConnectionForm::kFilePath,
    .oldest_schema_version = 2852,
    .file_connection_string =
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source={path};Persist Security",
};

constexpr Dialect kSqlServer = {
    .kind = dbkind::kSqlServer,
    .table_hint = " with (NOLOCK)",
    .current_time = "CURRENT_TIMESTAMP",
    .concat_operator = "+",
    .text_literal_open = "N'",
    .row_limit = RowLimit::kTop,
    .inserted_key = InsertedKey::kIdentityBatch,
    .event_steps = EventSteps::kStoredProcedures,
    .joined_update = true,
    .savepoint_set = "SAVE TRANSACTION ",
    .savepoint_rollback = "ROLLBACK TRANSACTION ",
    .connection_fallbacks = true,
    .index_includes = true,
    .table_exists_query =
        "SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = {name}",
    .index_exists_query = "SELECT COUNT(*) FROM sysindexes WHERE name = {name}",
    .column_types = {"NUMERIC(16,6)", "INTEGER", "INTEGER IDENTITY(1,1) NOT NULL PRIMARY KEY",
                     "VARCHAR(50)", "VARCHAR(40)", "VARCHAR(255)", "VARCHAR(255)", "TEXT",
                     "DATETIME"},
    .wall_hours = "(DATEDIFF(second, {from}, {to}) / 3600.0)",
    .earlier = "(case when {a} < {b} then {a} else {b} end)",
    .later = "(case when {a} > {b} then {a} else {b} end)",
    .next_midnight = "DATEADD(day, 1, CAST(CAST({x} AS DATE) AS DATETIME))",
    .settings_name = "SQLServer",
    .connection_string_value = "SQLServerConnectionString",
    .display_name = "Microsoft SQL Server",
    .connection_form = ConnectionForm::kServer,
    .oldest_schema_version = 3025,
    .database_list_query =
        "select [name] from master.dbo.sysdatabases where dbid > 4 order by [name]",
};

// SQLite: AUTOINCREMENT so that a key is never handed out twice, and
// DATETIME so that the platform reads the column as a date-time. Date-times
// are canonical text, so text order is time order (min and max compare them).
constexpr Dialect kSqlite = {
    .kind = dbkind::kSqlite,
    .current_time = "strftime('%Y-%m-%d %H:%M:%f','now','localtime')",
    .concat_operator = "||",
    .text_literal_open = "'",
    .row_limit = RowLimit::kLimit,
    .planned_inserts = PlannedInserts::kBoundParameters,
    .update_alias_takes_as = true,
    .savepoint_set = "SAVEPOINT ",
    .savepoint_release = "RELEASE SAVEPOINT ",
    .savepoint_rollback = "ROLLBACK TO SAVEPOINT ",
    .embedded = true,
    .table_exists_query =
        "SELECT name AS TABLE_NAME FROM sqlite_master WHERE type = 'table' AND name = {name}",
    .index_exists_query =
        "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name = {name}",
    .column_types = {"NUMERIC(16,6)", "INTEGER", "INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL",
                     "VARCHAR(50)", "VARCHAR(40)", "VARCHAR(255)", "VARCHAR(255)", "TEXT",
                     "DATETIME"},
    .analyze_statement = "ANALYZE",
    .schema_script = "sqlite.sql",
    // Whole milliseconds first: julianday's fraction of a day is not exact.
    .wall_hours = "(round((julianday({to}) - julianday({from})) * 86400000.0) / 3600000.0)",
    .earlier = "min({a}, {b})",
    .later = "max({a}, {b})",
    .next_midnight = "strftime('%Y-%m-%d 00:00:00.000', {x}, '+1 day')",
    .settings_name = "SQLite",
    .connection_string_value = "SQLiteConnectionString",
    .display_name = "SQLite",
    .connection_form = ConnectionForm::kFilePath,
    // The schema files start at the newest version.
    .oldest_schema_version = 3174,
    .file_connection_string = "Provider=SQLite;Data Source={path};",
};

// PostgreSQL: the statement's start as the time, as SQL Server's
// CURRENT_TIMESTAMP; LOCALTIMESTAMP would stay at the transaction's start.
// Texts without the national prefix: N'' would make a blank-padded character
// value, which compares without its trailing blanks. Unquoted names are
// folded to lower case when PostgreSQL creates them.
constexpr Dialect kPostgreSql = {
    .kind = dbkind::kPostgreSql,
    .current_time = "CAST(statement_timestamp() AS TIMESTAMP(3))",
    .concat_operator = "||",
    .text_literal_open = "'",
    .row_limit = RowLimit::kLimit,
    .event_steps = EventSteps::kServerFunctions,
    .planned_inserts = PlannedInserts::kSessionPrepare,
    .update_alias_takes_as = true,
    .savepoint_set = "SAVEPOINT ",
    .savepoint_release = "RELEASE SAVEPOINT ",
    .savepoint_rollback = "ROLLBACK TO SAVEPOINT ",
    .collector_groups = true,
    .transaction_lock_query = "select 1 from (select pg_advisory_xact_lock(hashtext({key}))) l",
    .next_value_query = "select nextval('{sequence}')",
    .idle_transaction_timeout = "set idle_in_transaction_session_timeout = {milliseconds}",
    .table_exists_query = "SELECT UPPER(table_name) AS TABLE_NAME FROM information_schema.tables"
                          " WHERE table_schema = current_schema() AND table_name = LOWER({name})",
    .index_exists_query = "SELECT COUNT(*) FROM pg_indexes WHERE schemaname = current_schema()"
                          " AND indexname = LOWER({name})",
    .column_types = {"NUMERIC(16,6)", "INTEGER",
                     "INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY", "VARCHAR(50)",
                     "VARCHAR(40)", "VARCHAR(255)", "VARCHAR(255)", "TEXT",
                     "TIMESTAMP(3) WITHOUT TIME ZONE"},
    .analyze_statement = "ANALYZE",
    .schema_script = "postgresql.sql",
    .demo_plant_tail_script = "demo_plant_postgresql_tail.sql",
    .wall_hours = "(extract(epoch from ({to} - {from})) / 3600.0)",
    .earlier = "least({a}, {b})",
    .later = "greatest({a}, {b})",
    .next_midnight = "(date_trunc('day', {x}) + interval '1 day')",
    .settings_name = "PostgreSQL",
    .connection_string_value = "PostgreSQLConnectionString",
    .display_name = "PostgreSQL",
    .connection_form = ConnectionForm::kServer,
    .oldest_schema_version = 3174,
    .fixed_provider = "PostgreSQL",
    // PostgreSQL always connects to a database; the list is read from the maintenance one.
    .maintenance_database = "postgres",
    .database_list_query =
        "select datname as name from pg_database where not datistemplate order by datname",
};

constexpr Dialect kUnknown = {};

// Indexed by kind, 0 to dbkind::kCount - 1.
constexpr const Dialect* kRows[] = {&kOracle, &kAccess, &kSqlServer, &kSqlite, &kPostgreSql};
static_assert(std::size(kRows) == dbkind::kCount);

// "" stays "" whatever the operands: a kind without the expression has none.
template <typename... Operands>
std::string Fill(const char* pattern, const Operands&... operands) {
  if (pattern[0] == '\0') return "";
  return fmt::format(fmt::runtime(pattern), operands...);
}

}  // namespace

const Dialect& DialectOf(int32_t kind) {
  if (kind < 0 || kind >= dbkind::kCount) return kUnknown;
  return *kRows[kind];
}

std::string Dialect::SpacedTableHint() const {
  return table_hint[0] == '\0' ? "" : std::string(table_hint) + " ";
}

std::string Dialect::CurrentTimeQuery() const {
  return std::string("select ") + current_time + from_dual;
}

std::string Dialect::CurrentTimeOperand() const {
  return current_time_is_sum ? std::string("(") + current_time + ")" : current_time;
}

std::string Dialect::TableExistsQuery(const std::string& quoted_name) const {
  return Fill(table_exists_query, fmt::arg("name", quoted_name));
}

std::string Dialect::IndexExistsQuery(const std::string& quoted_name) const {
  return Fill(index_exists_query, fmt::arg("name", quoted_name));
}

std::string Dialect::FileConnectionString(const std::string& path) const {
  return Fill(file_connection_string, fmt::arg("path", path));
}

std::string Dialect::TransactionLockQuery(const std::string& quoted_key) const {
  return Fill(transaction_lock_query, fmt::arg("key", quoted_key));
}

std::string Dialect::NextValueQuery(const std::string& sequence) const {
  return Fill(next_value_query, fmt::arg("sequence", sequence));
}

std::string Dialect::IdleTransactionTimeout(int64_t milliseconds) const {
  return Fill(idle_transaction_timeout, fmt::arg("milliseconds", milliseconds));
}

std::string Dialect::WallHours(const std::string& from, const std::string& to) const {
  return Fill(wall_hours, fmt::arg("from", from), fmt::arg("to", to));
}

std::string Dialect::Earlier(const std::string& a, const std::string& b) const {
  return Fill(earlier, fmt::arg("a", a), fmt::arg("b", b));
}

std::string Dialect::Later(const std::string& a, const std::string& b) const {
  return Fill(later, fmt::arg("a", a), fmt::arg("b", b));
}

std::string Dialect::NextMidnight(const std::string& expression) const {
  return Fill(next_midnight, fmt::arg("x", expression));
}

}  // namespace voltrane
