// Tests of the schema folder: the DDL files of the four server kinds and the demo plant.
//
// The SQLite schema and the demo plant are loaded into a temporary database through the
// sqlite3 C API, statement by statement as a program splitting the files would run them.
// The other kinds cannot run here: their files are checked for the statement separation
// rule and for agreeing with the SQLite file table by table, column by column.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "library/log/log_history.h"
#include "library/monitor/check_times.h"
#include "library/schema/schema_statements.h"
#include "tests/support/test_databases.h"

using namespace korvex7::internal;  // the library's internals

namespace {

namespace fs = std::filesystem;

const fs::path kSchemaDir = fs::path(VOLTRANE_SOURCE_DIR) / "schema";

// Every table and column the library and the service manager read or write.
const std::map<std::string, std::vector<std::string>>& UsedColumns() {
  static const std::map<std::string, std::vector<std::string>> kColumns = {
      {"T_SFC_DEPT", {"DEPT_ID", "VOLTRANE_ID"}},
      {"T_SFC_LOCATION", {"LOCATION_ID", "DEPT_ID", "VOLTRANE_ID"}},
      {"T_SFC_GROUP", {"GROUP_ID", "LOCATION_ID", "VOLTRANE_ID"}},
      {"T_SFC_MACHINE",
       {"MACHINE_ID", "MACHINE_NUMBER", "MACHINE_NAME", "GROUP_ID", "MACHINE_DATA_ID",
        "STATUS_CODE", "STATUS_DATE", "VOLTRANE_ID"}},
      {"T_SFC_COMMAND", {"COMMAND_ID", "COMMAND_TYPE_CODE", "VOLTRANE_ID"}},
      {"T_SFC_MDC_LOG",
       {"MDC_LOG_ID", "COMMAND_ID", "DEPT_ID", "LOCATION_ID", "GROUP_ID", "MACHINE_ID",
        "COMMAND_TIME_CODE", "TIME_STAMP", "PARAM1"}},
      {"T_SFC_MACHINE_DATA",
       {"MACHINE_DATA_ID",
        "START_TIME",
        "STOP_TIME",
        "DEPT_ID",
        "LOCATION_ID",
        "GROUP_ID",
        "MACHINE_ID",
        "STATUS_CODE",
        "IS_MANUAL",
        "SETUP_START_TIME",
        "TEARDOWN_START_TIME",
        "CYCLE_START_TIME",
        "IDLE_START_TIME",
        "SETUP_TIME",
        "TEARDOWN_TIME",
        "CYCLE_TIME",
        "IDLE_TIME",
        "FINISHED_CYCLES",
        "UNFINISHED_CYCLES",
        "GOOD_COUNT",
        "SCRAPPED_COUNT",
        "SHIFT_ID",
        "CHART_DATE",
        "SHIFT_END",
        "JOB_ID",
        "JOB_NUMBER",
        "JOB_DATA_START_ID",
        "PART_TYPE_ID",
        "PART_ID",
        "PART_NUMBER",
        "PART_DATA_START_ID",
        "PART_SERIAL_NO_ID",
        "PART_SERIAL_NO",
        "SERIAL_NO_DATA_START_ID",
        "STANDARD_TIME",
        "USER_ID",
        "USER_NAME",
        "LOGON_DATA_START_ID",
        "OP_ID",
        "OP_NUMBER",
        "OP_DATA_START_ID"}},
      {"T_SFC_DT_PER_MACHINE_DATA",
       {"DT_PER_MACHINE_DATA_ID", "MACHINE_DATA_ID", "DOWNTIME_CODE_ID", "DT_NUMBER",
        "DT_DATA_START_ID", "DOWNTIME_TYPE_CODE", "START_TIME", "STOP_TIME", "DURATION"}},
      {"T_SFC_SCRAP_PER_MACHINE_DATA",
       {"SCRAP_PER_MACHINE_DATA_ID", "MACHINE_DATA_ID", "START_TIME", "QTY", "SCRAP_CODE_NUMBER",
        "SCRAP_CODE_ID", "SCRAP_DATA_START_ID"}},
      {"T_SFC_MACHINE_PPH", {"MACHINE_ID", "PART_ID", "CYCLE_TIME"}},
      {"T_SFC_EVENT",
       {"EVENT_ID", "START_TIME", "STOP_TIME", "COMMAND_ID", "DEPT_ID", "LOCATION_ID", "GROUP_ID",
        "MACHINE_ID", "PARAM1"}},
      {"T_SFC_MACHINE_EVENT", {"MACHINE_EVENT_ID", "COMMAND_ID", "MACHINE_ID", "EVENT_ID"}},
      {"T_SFC_SHIFT",
       {"SHIFT_ID", "MON_INTERVAL_ID", "TUE_INTERVAL_ID", "WED_INTERVAL_ID", "THU_INTERVAL_ID",
        "FRI_INTERVAL_ID", "SAT_INTERVAL_ID", "SUN_INTERVAL_ID"}},
      {"T_SFC_INTERVAL", {"INTERVAL_ID", "START_TIME", "STOP_TIME", "IS_SWING"}},
      {"T_SFC_MACHINE_SHIFT", {"MACHINE_ID", "SHIFT_ID"}},
      {"T_SFC_USER", {"USER_ID", "USER_NAME", "FIRST_NAME", "LAST_NAME", "SHIFT_ID"}},
      {"T_SFC_JOB",
       {"JOB_ID", "JOB_NUMBER", "JOB_NAME", "STATUS_CODE", "TARGET_START", "TARGET_STOP",
        "ACTUAL_START", "ACTUAL_STOP", "ASSET_ID"}},
      {"T_SFC_PART_PER_JOB",
       {"PART_PER_JOB_ID", "JOB_ID", "PART_ID", "TARGET_QTY", "ORDINAL", "ACTUAL_QTY",
        "SCRAPPED_QTY"}},
      {"T_SFC_OP", {"OP_ID", "OP_NUMBER", "REV", "ASSET_ID"}},
      {"T_SFC_PART", {"PART_ID", "PART_NUMBER", "PART_TYPE_ID", "REV", "ASSET_ID"}},
      {"T_SFC_PART_TYPE", {"PART_TYPE_ID", "PART_TYPE_NAME"}},
      {"T_SFC_PART_SERIAL_NO", {"PART_SERIAL_NO_ID", "PART_ID", "SERIAL_NO", "ASSET_ID"}},
      {"T_SFC_ASSET", {"ASSET_ID", "TARGET_ID", "TABLE_CODE"}},
      {"T_SFC_DOWNTIME_CODE",
       {"DOWNTIME_CODE_ID", "DOWNTIME_CODE_NUMBER", "DOWNTIME_CODE_NAME", "DOWNTIME_TYPE_CODE",
        "CYCLE_STATUS_LOCK", "PLANNED"}},
      {"T_SFC_SCRAP_CODE", {"SCRAP_CODE_ID", "SCRAP_CODE_NUMBER", "SCRAP_CODE_TYPE_CODE"}},
      {"T_SFC_OPTION",
       {"APP_CODE", "OPTION_CODE", "OPTION_TYPE_CODE", "BOOL_VAL", "NUM_VAL", "STRING_VAL"}},
      {"T_SFC_MACHINE_HEARTBEAT", {"MACHINE_ID", "ENABLED", "TIMEOUT", "LAST_HEARTBEAT"}},
      {"T_SFC_HISTORY",
       {"HISTORY_ID", "TARGET_ID", "TABLE_CODE", "ACTION_CODE", "NOTES", "USER_ID", "USER2_ID",
        "APP_CODE", "HISTORY_DATE", "COMPONENT_NAME", "ECN", "DEPT_ID", "LOCATION_ID", "GROUP_ID",
        "MACHINE_ID", "JOB_ID", "PART_TYPE_ID", "PART_ID"}},
      {"T_SFC_DB_ITEM", {"DB_ITEM_CODE", "DB_ITEM_VALUE"}},
      {"T_SFC_MDC_CHECK_TIME", {"MDC_CHECK_TIME_ID", "CHECK_CODE", "LAST_CHECK"}},
      {"T_VMES_PTYPE", {"PTYPE_ID"}},
  };
  return kColumns;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

// The file's statements as a program splitting it by the documented rule gets them:
// a statement ends at a line ending in a semicolon (dropped), a CREATE TRIGGER at the
// following line holding only "/". Comment lines between statements are skipped. A
// statement left open at the end of the file is reported in `unterminated`.
std::vector<std::string> SplitStatements(const std::string& text, std::string* unterminated) {
  std::vector<std::string> statements;
  std::istringstream lines(text);
  std::string line;
  std::string current;
  while (std::getline(lines, line)) {
    const std::string trimmed = Trim(line);
    if (current.empty() && (trimmed.empty() || StartsWith(trimmed, "--"))) continue;
    const bool trigger = StartsWith(current.empty() ? trimmed : current, "CREATE TRIGGER");
    if (trigger && trimmed == "/") {
      statements.push_back(current);
      current.clear();
      continue;
    }
    if (!current.empty()) current += "\n";
    current += line;
    if (!trigger && !trimmed.empty() && trimmed.back() == ';') {
      current = Trim(current);
      current.pop_back();
      statements.push_back(current);
      current.clear();
    }
  }
  *unterminated = Trim(current);
  return statements;
}

std::vector<std::string> FileStatements(const std::string& file) {
  std::string unterminated;
  auto statements = SplitStatements(ReadFile(kSchemaDir / file), &unterminated);
  EXPECT_EQ(unterminated, "") << file;
  return statements;
}

// A temporary SQLite database, closed and removed with the object.
class TempSqlite {
 public:
  TempSqlite() : dir_(testsupport::MakeTempDir()) {
    EXPECT_EQ(sqlite3_open((fs::path(dir_) / "plant.db").c_str(), &db_), SQLITE_OK);
    // Durability is not under test: without syncs a load takes milliseconds, not seconds.
    Exec("PRAGMA synchronous=OFF");
  }
  ~TempSqlite() {
    sqlite3_close(db_);
    fs::remove_all(dir_);
  }
  sqlite3* get() const { return db_; }

  // Runs one statement; returns sqlite3's message, "" on success.
  std::string Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return "";
    std::string text = message != nullptr ? message : "unknown error";
    sqlite3_free(message);
    return text;
  }

  // Runs each statement of a file, stopping at the first failure.
  void ExecFile(const std::string& file) {
    for (const std::string& statement : FileStatements(file)) {
      ASSERT_EQ(Exec(statement), "") << file << ": " << statement;
    }
  }

  // Every row of a query, its values as text ("NULL" for null) joined by "|".
  std::vector<std::string> Rows(const std::string& sql) {
    std::vector<std::string> rows;
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
        << sql << ": " << sqlite3_errmsg(db_);
    while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
      std::string row;
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const unsigned char* value = sqlite3_column_text(statement, i);
        row +=
            (i > 0 ? "|" : "") + std::string(value ? reinterpret_cast<const char*>(value) : "NULL");
      }
      rows.push_back(row);
    }
    sqlite3_finalize(statement);
    return rows;
  }

  std::string Scalar(const std::string& sql) {
    auto rows = Rows(sql);
    return rows.empty() ? "" : rows.front();
  }

 private:
  std::string dir_;
  sqlite3* db_ = nullptr;
};

// Everything a load could change: the schema objects and every row of every table.
std::vector<std::string> Snapshot(TempSqlite& db) {
  std::vector<std::string> snapshot = db.Rows("select type, name, sql from sqlite_master");
  for (const std::string& table :
       db.Rows("select name from sqlite_master where type = 'table' order by name")) {
    for (const std::string& row : db.Rows("select * from " + table + " order by rowid")) {
      snapshot.push_back(table + ": " + row);
    }
  }
  std::sort(snapshot.begin(), snapshot.end());
  return snapshot;
}

TEST(SchemaFilesTest, StatementsSplitAtLineEndsWithoutInnerSemicolons) {
  for (const char* file : {"sqlite.sql", "postgresql.sql", "sqlserver.sql", "oracle.sql",
                           "demo_plant.sql", "demo_plant_postgresql_tail.sql"}) {
    const auto statements = FileStatements(file);
    EXPECT_GT(statements.size(), 0u) << file;
    // A splitter that does not know comments would end a statement at such a line.
    std::istringstream lines(ReadFile(kSchemaDir / file));
    for (std::string line; std::getline(lines, line);) {
      if (StartsWith(Trim(line), "--")) {
        EXPECT_EQ(line.find(';'), std::string::npos) << line;
      }
    }
    for (const std::string& statement : statements) {
      if (StartsWith(statement, "CREATE TRIGGER")) {
        EXPECT_EQ(std::string(file), "oracle.sql") << statement;
        EXPECT_TRUE(statement.ends_with("END;")) << statement;
        continue;
      }
      EXPECT_EQ(statement.find(';'), std::string::npos) << file << ": " << statement;
      EXPECT_EQ(statement.find("\n--"), std::string::npos)
          << file << ": a comment inside a statement: " << statement;
    }
  }
}

TEST(SchemaFilesTest, EveryStatementOfTheSqliteFilesIsComplete) {
  for (const char* file : {"sqlite.sql", "demo_plant.sql"}) {
    for (const std::string& statement : FileStatements(file)) {
      EXPECT_TRUE(sqlite3_complete((statement + ";").c_str())) << statement;
    }
  }
}

TEST(SchemaFilesTest, LoadingSchemaAndDemoAgainChangesNothing) {
  TempSqlite db;
  db.ExecFile("sqlite.sql");
  db.ExecFile("demo_plant.sql");
  const auto first = Snapshot(db);
  db.ExecFile("sqlite.sql");
  db.ExecFile("demo_plant.sql");
  EXPECT_EQ(Snapshot(db), first);
  // The version item is inserted once, without drawing a second key.
  EXPECT_EQ(db.Scalar("select count(*) || '/' || max(DB_ITEM_ID) from T_SFC_DB_ITEM"), "1/1");
}

TEST(SchemaFilesTest, TheWholeFileRunsInOneCall) {
  TempSqlite db;
  ASSERT_EQ(db.Exec(ReadFile(kSchemaDir / "sqlite.sql")), "");
  ASSERT_EQ(db.Exec(ReadFile(kSchemaDir / "demo_plant.sql")), "");
  EXPECT_EQ(db.Scalar("select count(*) from T_SFC_MACHINE"), "5");
}

// Columns of one table in the SQLite database: name -> declared type, and the key.
struct TableInfo {
  std::map<std::string, std::string> types;
  std::vector<std::string> key;
};

TableInfo ReadTableInfo(TempSqlite& db, const std::string& table) {
  TableInfo info;
  for (const std::string& row :
       db.Rows("select name, type, pk from pragma_table_info('" + table + "') order by pk")) {
    const auto first = row.find('|');
    const auto second = row.rfind('|');
    info.types[row.substr(0, first)] = row.substr(first + 1, second - first - 1);
    if (row.substr(second + 1) != "0") info.key.push_back(row.substr(0, first));
  }
  return info;
}

bool IsDateTimeName(const std::string& column) {
  for (const char* suffix : {"_START_TIME", "_DATE", "_START", "_STOP"}) {
    if (column.ends_with(suffix)) return true;
  }
  return column == "START_TIME" || column == "STOP_TIME" || column == "SHIFT_END" ||
         column == "TIME_STAMP" || column == "LAST_HEARTBEAT";
}

TEST(SchemaFilesTest, EveryTableAndColumnTheSystemUsesExists) {
  TempSqlite db;
  db.ExecFile("sqlite.sql");
  for (const auto& [table, columns] : UsedColumns()) {
    const TableInfo info = ReadTableInfo(db, table);
    ASSERT_FALSE(info.types.empty()) << "missing table " << table;
    for (const std::string& column : columns) {
      EXPECT_EQ(info.types.count(column), 1u) << table << "." << column;
    }
    // A single-column integer key named after the table; the platform updates by it.
    const std::string stem = table.substr(table.find('_', 2) + 1);
    EXPECT_EQ(info.key, std::vector<std::string>{stem + "_ID"}) << table;
    for (const auto& [column, type] : info.types) {
      // The platform reads a column as a date-time only when its declared type says so.
      if (IsDateTimeName(column)) {
        EXPECT_EQ(type, "DATETIME") << table << "." << column;
      }
    }
  }
}

TEST(SchemaFilesTest, TheDatabaseGeneratesTheKeys) {
  TempSqlite db;
  db.ExecFile("sqlite.sql");
  ASSERT_EQ(db.Exec("insert into T_SFC_COMMAND (COMMAND_TYPE_CODE) values (9)"), "");
  ASSERT_EQ(db.Exec("delete from T_SFC_COMMAND"), "");
  ASSERT_EQ(db.Exec("insert into T_SFC_COMMAND (COMMAND_TYPE_CODE) values (9)"), "");
  // AUTOINCREMENT: a deleted key is never handed out again.
  EXPECT_EQ(db.Scalar("select COMMAND_ID from T_SFC_COMMAND"), "2");
}

TEST(SchemaFilesTest, OptionAndEventRowsAreUniquePerPair) {
  TempSqlite db;
  db.ExecFile("sqlite.sql");
  const std::string option = "insert into T_SFC_OPTION (APP_CODE, OPTION_CODE) values (2, 15)";
  ASSERT_EQ(db.Exec(option), "");
  EXPECT_NE(db.Exec(option), "");
  const std::string event =
      "insert into T_SFC_MACHINE_EVENT (MACHINE_ID, COMMAND_ID) values (1, 9)";
  ASSERT_EQ(db.Exec(event), "");
  EXPECT_NE(db.Exec(event), "");
}

// The library's main lookups and updates, each of which must seek through an index.
TEST(SchemaFilesTest, MainLookupsSeekThroughAnIndex) {
  TempSqlite db;
  db.ExecFile("sqlite.sql");
  const std::vector<std::string> lookups = {
      "select MACHINE_ID from T_SFC_MACHINE where MACHINE_NUMBER = '101'",
      "select MACHINE_ID from T_SFC_MACHINE where VOLTRANE_ID = 1101",
      "select COMMAND_ID from T_SFC_COMMAND where COMMAND_TYPE_CODE = 9",
      "select COMMAND_ID from T_SFC_COMMAND where VOLTRANE_ID = 2009",
      "select COUNT(MDC_LOG_ID) AS CT from T_SFC_MDC_LOG where MACHINE_ID = 1",
      "delete from T_SFC_MDC_LOG where MDC_LOG_ID in ( 17,18,19)",
      "select * from T_SFC_MACHINE_DATA where MACHINE_DATA_ID = (select MACHINE_DATA_ID"
      " from T_SFC_MACHINE where MACHINE_ID = 1)",
      "select sum(GOOD_COUNT) from T_SFC_MACHINE_DATA where MACHINE_ID = 1 and JOB_ID = 2",
      "update T_SFC_MACHINE_DATA set STANDARD_TIME = 0 where STANDARD_TIME is null",
      "select * from T_SFC_DT_PER_MACHINE_DATA where MACHINE_DATA_ID = 5 and STOP_TIME IS NULL",
      "select * from T_SFC_SCRAP_PER_MACHINE_DATA where MACHINE_DATA_ID = 5",
      "select * from T_SFC_MACHINE_EVENT where MACHINE_ID = 1 and COMMAND_ID = 9",
      "select * from T_SFC_EVENT where MACHINE_ID = 1 and COMMAND_ID = 9 and STOP_TIME is null",
      "select * from T_SFC_JOB where UPPER(JOB_NUMBER) = 'J1001'",
      "select * from T_SFC_OP where UPPER(OP_NUMBER) = 'OP10'",
      "select PART_ID from T_SFC_PART where UPPER(PART_NUMBER) = 'SHAFT-100'",
      "select PART_SERIAL_NO_ID from T_SFC_PART_SERIAL_NO where PART_ID = 3"
      " and UPPER(SERIAL_NO) = 'SN-0001'",
      "select USER_ID from T_SFC_USER where USER_NAME = 'jsmith'",
      "select DOWNTIME_CODE_ID from T_SFC_DOWNTIME_CODE where DOWNTIME_CODE_NUMBER = '100'",
      "select SCRAP_CODE_ID from T_SFC_SCRAP_CODE where SCRAP_CODE_NUMBER = 'S1'",
      "select SCRAP_CODE_NUMBER from T_SFC_SCRAP_CODE where SCRAP_CODE_TYPE_CODE = 1",
      "Select NUM_VAL from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 15",
      "select CYCLE_TIME from T_SFC_MACHINE_PPH where MACHINE_ID = 1 and PART_ID = 1",
      "select count(*) from T_SFC_MACHINE_SHIFT ms where ms.MACHINE_ID=1 and ms.SHIFT_ID=2",
      "select T_SFC_PART.PART_NUMBER from T_SFC_PART, T_SFC_PART_PER_JOB, T_SFC_JOB"
      " where UPPER(T_SFC_JOB.JOB_NUMBER) = 'J1001' and T_SFC_JOB.JOB_ID ="
      " T_SFC_PART_PER_JOB.JOB_ID and T_SFC_PART.PART_ID = T_SFC_PART_PER_JOB.PART_ID"
      " order by T_SFC_PART_PER_JOB.ORDINAL",
      "update T_SFC_MACHINE_HEARTBEAT set LAST_HEARTBEAT = '2026-01-01 00:00:00.000'"
      " where MACHINE_ID = 1",
      "select * from T_SFC_HISTORY where HISTORY_DATE < '2026-01-01 00:00:00.000'",
      // The reports' ranges: records by chart date and by machine and time, events by time.
      "select MACHINE_ID from T_SFC_MACHINE_DATA where CHART_DATE >= '2026-03-02 00:00:00.000'"
      " and CHART_DATE < '2026-03-03 00:00:00.000'",
      "select * from T_SFC_MACHINE_DATA where MACHINE_ID in (1, 2)"
      " and START_TIME >= '2026-03-02 00:00:00.000' and START_TIME < '2026-03-03 00:00:00.000'",
      "select * from T_SFC_EVENT where MACHINE_ID in (1, 2) and COMMAND_ID in (8, 9)"
      " and START_TIME >= '2026-03-02 00:00:00.000' and START_TIME < '2026-03-03 00:00:00.000'",
      "select max(START_TIME) from T_SFC_EVENT where MACHINE_ID = 1 and COMMAND_ID = 9"
      " and START_TIME < '2026-03-02 00:00:00.000'",
  };
  for (const std::string& sql : lookups) {
    for (const std::string& step : db.Rows("EXPLAIN QUERY PLAN " + sql)) {
      const std::string detail = step.substr(step.rfind('|') + 1);
      if (StartsWith(detail, "SEARCH") || StartsWith(detail, "SCAN")) {
        EXPECT_NE(detail.find(" USING "), std::string::npos) << sql << "\n  " << detail;
      }
    }
  }
}

// Table name -> its column names in order, read from a DDL file's CREATE TABLE
// statements. SQL Server's computed columns (NAME AS UPPER(...)) are left out.
std::map<std::string, std::vector<std::string>> DeclaredColumns(const std::string& file) {
  static const std::regex kTable(R"(CREATE TABLE (IF NOT EXISTS )?(\w+) \()");
  std::map<std::string, std::vector<std::string>> tables;
  for (const std::string& statement : FileStatements(file)) {
    std::smatch match;
    if (!std::regex_search(statement, match, kTable)) continue;
    std::istringstream lines(statement.substr(match.position(0) + match.length(0)));
    std::string line;
    auto& columns = tables[match[2].str()];
    while (std::getline(lines, line)) {
      const std::string trimmed = Trim(line);
      if (trimmed.empty() || trimmed == ")" || trimmed.find(" AS UPPER(") != std::string::npos) {
        continue;
      }
      columns.push_back(trimmed.substr(0, trimmed.find(' ')));
    }
  }
  return tables;
}

std::set<std::string> IndexNames(const std::string& file) {
  static const std::regex kIndex(
      R"(CREATE (UNIQUE )?(NONCLUSTERED )?INDEX (IF NOT EXISTS )?(\w+))");
  std::set<std::string> names;
  for (const std::string& statement : FileStatements(file)) {
    std::smatch match;
    if (std::regex_search(statement, match, kIndex)) names.insert(match[4].str());
  }
  return names;
}

TEST(SchemaFilesTest, AllKindsDeclareTheSameTablesColumnsAndIndexes) {
  const auto sqlite = DeclaredColumns("sqlite.sql");
  ASSERT_EQ(sqlite.size(), UsedColumns().size());
  const auto indexes = IndexNames("sqlite.sql");
  for (const char* file : {"postgresql.sql", "sqlserver.sql", "oracle.sql"}) {
    EXPECT_EQ(DeclaredColumns(file), sqlite) << file;
    auto others = IndexNames(file);
    // Oracle has no partial index for the records still without a standard time.
    if (std::string(file) == "oracle.sql") others.insert("K_SFC_MA_DASTTI");
    EXPECT_EQ(others, indexes) << file;
  }
  for (const std::string& name : indexes) EXPECT_TRUE(StartsWith(name, "K_SFC_")) << name;
}

std::string StatementNaming(const std::string& file, const std::string& needle) {
  for (const std::string& statement : FileStatements(file)) {
    if (statement.find(needle) != std::string::npos) return statement;
  }
  return "";
}

// The log history table is the library's own: it creates the table and its index the
// first time history is switched on, so no schema file may declare them.
TEST(SchemaFilesTest, NoFileDeclaresTheLibrarysHistoryTable) {
  for (const char* file : {"sqlite.sql", "postgresql.sql", "sqlserver.sql", "oracle.sql",
                           "demo_plant.sql", "demo_plant_postgresql_tail.sql"}) {
    for (const std::string& statement : FileStatements(file)) {
      std::string upper = statement;
      std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
      EXPECT_EQ(upper.find("T_SFC_MDC_LOG_HIST"), std::string::npos) << file << ": " << statement;
    }
  }
}

// The library's history table, created by its own statements beside the files' schema,
// holds exactly the log's columns, its own key and the log key, in the log's types, and its
// index serves the "already copied?" lookup made for every processed row.
TEST(SchemaFilesTest, TheLibrarysHistoryTableHoldsEveryColumnOfTheLog) {
  TempSqlite db;
  db.ExecFile("sqlite.sql");
  for (const std::string& statement : LogHistoryCreateStatements(3)) {
    ASSERT_EQ(db.Exec(statement), "") << statement;
  }
  ASSERT_EQ(db.Exec(LogHistoryIndexStatement(3)), "");

  const TableInfo log = ReadTableInfo(db, "T_SFC_MDC_LOG");
  const TableInfo history = ReadTableInfo(db, "T_SFC_MDC_LOG_HIST");
  EXPECT_EQ(history.key, std::vector<std::string>{"MDC_LOG_HIST_ID"});
  std::map<std::string, std::string> expected = log.types;
  expected["MDC_LOG_HIST_ID"] = "INTEGER";
  EXPECT_EQ(history.types, expected);

  ASSERT_EQ(db.Exec("insert into T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID,"
                    " MACHINE_ID, COMMAND_TIME_CODE, TIME_STAMP, PARAM1) values (9, 1, 2, 3, 4,"
                    " 0, '2026-03-01 06:00:00.250', 'O''Brien')"),
            "");
  ASSERT_EQ(db.Exec("INSERT INTO T_SFC_MDC_LOG_HIST (COMMAND_ID, DEPT_ID, LOCATION_ID, "
                    " GROUP_ID, MACHINE_ID, COMMAND_TIME_CODE, TIME_STAMP, PARAM1, MDC_LOG_ID) "
                    " SELECT COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID,"
                    " COMMAND_TIME_CODE, TIME_STAMP, PARAM1, MDC_LOG_ID FROM T_SFC_MDC_LOG"),
            "");
  EXPECT_EQ(db.Rows("select * from T_SFC_MDC_LOG_HIST"),
            std::vector<std::string>{"1|9|1|2|3|4|0|2026-03-01 06:00:00.250|O'Brien|1"});

  for (const std::string& step :
       db.Rows("EXPLAIN QUERY PLAN select count(*) from T_SFC_MDC_LOG_HIST where MDC_LOG_ID = 5")) {
    EXPECT_NE(step.find("USING COVERING INDEX K_SFC_MD_LOHIMDLOID"), std::string::npos) << step;
  }
}

// The check-time table is in the files and also created by the library where it is
// missing: both make the same table.
TEST(SchemaFilesTest, TheLibrarysCheckTimeTableIsTheFilesOne) {
  TempSqlite files;
  files.ExecFile("sqlite.sql");
  TempSqlite library;
  for (const std::string& statement : CheckTimeCreateStatements(3)) {
    ASSERT_EQ(library.Exec(statement), "") << statement;
  }
  const TableInfo declared = ReadTableInfo(files, kCheckTimeTable);
  const TableInfo created = ReadTableInfo(library, kCheckTimeTable);
  EXPECT_EQ(created.types, declared.types);
  EXPECT_EQ(created.key, declared.key);
}

TEST(SchemaFilesTest, OracleHasASequenceAndTriggerPerGeneratedKey) {
  const auto tables = DeclaredColumns("oracle.sql");
  for (const auto& [table, columns] : tables) {
    if (!StartsWith(table, "T_SFC_")) continue;
    const std::string stem = table.substr(6);
    // In exactly the form of the library's own statements for the tables it creates.
    std::vector<std::string> library;
    AddCreateTableStatements(0, library, stem, ")");
    ASSERT_EQ(library.size(), 3u);
    EXPECT_EQ(StatementNaming("oracle.sql", "CREATE SEQUENCE S_SFC_" + stem + " "), library[1]);
    EXPECT_EQ(StatementNaming("oracle.sql", "CREATE TRIGGER " + GetTriggerName(stem) + " "),
              library[2]);
  }
}

class DemoPlantTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.ExecFile("sqlite.sql");
    db_.ExecFile("demo_plant.sql");
  }
  TempSqlite db_;
};

TEST_F(DemoPlantTest, OneCommandPerBuiltInTypeAndTwoCustomCommands) {
  for (int code = 4; code <= 17; ++code) {
    EXPECT_EQ(db_.Scalar("select count(*) from T_SFC_COMMAND where COMMAND_TYPE_CODE = " +
                         std::to_string(code)),
              "1")
        << "type code " << code;
  }
  EXPECT_EQ(db_.Scalar("select count(*) from T_SFC_COMMAND where COMMAND_TYPE_CODE not between "
                       "4 and 17"),
            "2");
}

TEST_F(DemoPlantTest, EveryMachineResolvesItsHierarchyAndHasNoRecordYet) {
  const std::string machines = db_.Scalar("select count(*) from T_SFC_MACHINE");
  EXPECT_GE(std::stoi(machines), 3);
  // The join the intake inserts through: a machine missing from it could not log.
  EXPECT_EQ(db_.Scalar("select count(*) from T_SFC_MACHINE m, T_SFC_GROUP g, T_SFC_LOCATION l,"
                       " T_SFC_DEPT d where m.GROUP_ID = g.GROUP_ID and g.LOCATION_ID ="
                       " l.LOCATION_ID and l.DEPT_ID = d.DEPT_ID"),
            machines);
  EXPECT_EQ(db_.Scalar("select count(distinct LOCATION_ID) || '/' || count(distinct DEPT_ID)"
                       " from T_SFC_LOCATION"),
            "2/1");
  EXPECT_EQ(db_.Scalar("select count(*) from T_SFC_MACHINE where MACHINE_DATA_ID is not null"
                       " or STATUS_CODE <> 0"),
            "0");
}

TEST_F(DemoPlantTest, DayAndSwingIntervalsLieOnTheBaseDays) {
  EXPECT_EQ(db_.Rows("select START_TIME, STOP_TIME, IS_SWING from T_SFC_INTERVAL order by"
                     " IS_SWING"),
            (std::vector<std::string>{"1970-01-01 06:00:00.000|1970-01-01 14:00:00.000|0",
                                      "1970-01-01 22:00:00.000|1970-01-02 06:00:00.000|1"}));
  // Every weekday column names an interval that exists, or none.
  for (const char* day : {"MON", "TUE", "WED", "THU", "FRI", "SAT", "SUN"}) {
    const std::string column = std::string(day) + "_INTERVAL_ID";
    EXPECT_EQ(db_.Scalar("select count(*) from T_SFC_SHIFT s where " + column +
                         " is not null and not exists (select 1 from T_SFC_INTERVAL i where"
                         " i.INTERVAL_ID = s." +
                         column + ")"),
              "0")
        << column;
  }
}

TEST_F(DemoPlantTest, ReferencesPointToRowsThatExist) {
  const std::vector<std::string> dangling = {
      "select count(*) from T_SFC_PART_PER_JOB pj where not exists (select 1 from T_SFC_JOB j"
      " where j.JOB_ID = pj.JOB_ID) or not exists (select 1 from T_SFC_PART p where p.PART_ID ="
      " pj.PART_ID)",
      "select count(*) from T_SFC_PART p where not exists (select 1 from T_SFC_PART_TYPE t"
      " where t.PART_TYPE_ID = p.PART_TYPE_ID)",
      "select count(*) from T_SFC_USER u where not exists (select 1 from T_SFC_SHIFT s where"
      " s.SHIFT_ID = u.SHIFT_ID)",
      "select count(*) from T_SFC_MACHINE_SHIFT ms where not exists (select 1 from T_SFC_SHIFT"
      " s where s.SHIFT_ID = ms.SHIFT_ID)",
      "select count(*) from T_SFC_OPTION o where o.OPTION_CODE = 7 and not exists (select 1"
      " from T_SFC_PART_TYPE t where t.PART_TYPE_ID = o.NUM_VAL)",
  };
  for (const std::string& sql : dangling) EXPECT_EQ(db_.Scalar(sql), "0") << sql;
  EXPECT_EQ(db_.Scalar("select count(*) from T_SFC_JOB j where exists (select 1 from"
                       " T_SFC_PART_PER_JOB pj where pj.JOB_ID = j.JOB_ID)"),
            db_.Scalar("select count(*) from T_SFC_JOB"));
  EXPECT_EQ(db_.Scalar("select count(*) from T_SFC_SCRAP_CODE where SCRAP_CODE_TYPE_CODE = 1"),
            "1");
  EXPECT_EQ(db_.Scalar("select PTYPE_ID from T_VMES_PTYPE where PTYPE_ID = 0"), "0");
}

TEST_F(DemoPlantTest, EveryDateTimeIsInTheCanonicalForm) {
  static const std::regex kCanonical(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})");
  int values = 0;
  for (const std::string& table :
       db_.Rows("select name from sqlite_master where type = 'table' and name like 'T\\_%'"
                " escape '\\'")) {
    for (const auto& [column, type] : ReadTableInfo(db_, table).types) {
      if (type != "DATETIME") continue;
      for (const std::string& value :
           db_.Rows("select " + column + " from " + table + " where " + column + " is not null")) {
        ++values;
        EXPECT_TRUE(std::regex_match(value, kCanonical)) << table << "." << column << " " << value;
      }
    }
  }
  EXPECT_GT(values, 0);
}

TEST_F(DemoPlantTest, MasterDataNumbersAreStoredInUpperCase) {
  for (const char* sql :
       {"select count(*) from T_SFC_JOB where JOB_NUMBER <> UPPER(JOB_NUMBER)",
        "select count(*) from T_SFC_OP where OP_NUMBER <> UPPER(OP_NUMBER)",
        "select count(*) from T_SFC_PART where PART_NUMBER <> UPPER(PART_NUMBER)",
        "select count(*) from T_SFC_PART_SERIAL_NO where SERIAL_NO <> UPPER(SERIAL_NO)"}) {
    EXPECT_EQ(db_.Scalar(sql), "0") << sql;
  }
}

}  // namespace
