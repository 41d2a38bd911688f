// The library's own schema statements on every kind, the savepoints of the
// processing loop's batch transaction, and the stored procedure script it
// carries. SQL Server, Oracle and Access cannot run here: their
// texts are checked against the forms the system fixes; SQLite and PostgreSQL
// run them in log_history_test and schema_maintenance_test.
#include "library/schema/schema_statements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "library/log/log_history.h"
#include "library/schema/stored_procedure_script.h"
#include "library/session/savepoint_statements.h"

using namespace korvex7::internal;  // the library's internals

namespace {

constexpr int32_t kOracle = 0;
constexpr int32_t kAccess = 1;
constexpr int32_t kSqlServer = 2;
constexpr int32_t kSqlite = 3;
constexpr int32_t kPostgreSql = 4;

TEST(ShortenNameTest, ShortNamesStayLongNamesKeepTwoLettersPerPiece) {
  EXPECT_EQ(ShortenName("MACHINE"), "MACHINE");
  EXPECT_EQ(ShortenName("ABCDEFGHIJ"), "ABCDEFGHIJ");  // 10 characters: unchanged
  EXPECT_EQ(ShortenName("MDC_LOG_HIST_MDC_LOG_ID"), "MD_LOHIMDLOID");
  EXPECT_EQ(ShortenName("ABCDEFGHIJKL"), "AB_KL");
  EXPECT_EQ(ShortenName("ABCDEFGHIJK"), "AB_JK");
  // One-letter and empty pieces give what they have.
  EXPECT_EQ(ShortenName("A_BCDEFGHIJK"), "A_BC");
  EXPECT_EQ(ShortenName("MACHINE__DATA_X"), "MA_DAX");
  EXPECT_EQ(GetIndexName("MDC_LOG_HIST", "MDC_LOG_ID"), "K_SFC_MD_LOHIMDLOID");
  EXPECT_EQ(GetIndexName("OP", "ID"), "K_SFC_OP_ID");
}

TEST(ColumnTypeNameTest, EveryKindAndColumnKind) {
  const std::vector<std::vector<std::string>> expected = {
      {"NUMBER(16,6)", "NUMBER(10,0)", "NUMBER(10,0) NOT NULL PRIMARY KEY", "VARCHAR2(50)",
       "VARCHAR2(40)", "VARCHAR2(255)", "VARCHAR2(255)", "LONG", "DATE"},
      {"DOUBLE", "INTEGER", "COUNTER NOT NULL PRIMARY KEY", "VARCHAR(50)", "VARCHAR(40)",
       "VARCHAR(255)", "VARCHAR(255)", "TEXT", "DATETIME"},
      {"NUMERIC(16,6)", "INTEGER", "INTEGER IDENTITY(1,1) NOT NULL PRIMARY KEY", "VARCHAR(50)",
       "VARCHAR(40)", "VARCHAR(255)", "VARCHAR(255)", "TEXT", "DATETIME"},
  };
  for (int32_t kind = kOracle; kind <= kSqlServer; ++kind) {
    for (int32_t code = 0; code <= 8; ++code) {
      EXPECT_EQ(GetColumnTypeName(kind, code), expected[kind][code]) << kind << "/" << code;
    }
  }
  // The platform reads a SQLite column as a date-time only when declared so.
  EXPECT_EQ(GetColumnTypeName(kSqlite, 8), "DATETIME");
  EXPECT_EQ(GetColumnTypeName(kPostgreSql, 8), "TIMESTAMP(3) WITHOUT TIME ZONE");
  for (int32_t kind : {kOracle, kSqlServer, kSqlite, kPostgreSql}) {
    EXPECT_EQ(GetColumnTypeName(kind, -1), "");
    EXPECT_EQ(GetColumnTypeName(kind, 9), "");
  }
  EXPECT_EQ(GetColumnTypeName(7, 1), "");
}

// The processing loop nests a row's savepoint and its handlers' ones by
// level; SQLite and PostgreSQL run theirs in the processing tests.
TEST(SavepointStatementsTest, EachKindNamesItsLevel) {
  const SavepointStatements server = SavepointStatementsFor(kSqlServer, 2);
  EXPECT_EQ(server.set, "SAVE TRANSACTION KORVEX7_ROW_2");
  EXPECT_EQ(server.release, "");
  EXPECT_EQ(server.rollback, "ROLLBACK TRANSACTION KORVEX7_ROW_2");
  const SavepointStatements oracle = SavepointStatementsFor(kOracle, 1);
  EXPECT_EQ(oracle.set, "SAVEPOINT KORVEX7_ROW_1");
  EXPECT_EQ(oracle.release, "");
  EXPECT_EQ(oracle.rollback, "ROLLBACK TO SAVEPOINT KORVEX7_ROW_1");
  const SavepointStatements sqlite = SavepointStatementsFor(3, 3);
  EXPECT_EQ(sqlite.release, "RELEASE SAVEPOINT KORVEX7_ROW_3");
  EXPECT_EQ(sqlite.rollback, "ROLLBACK TO SAVEPOINT KORVEX7_ROW_3");
  // Access has none: its batch holds one row.
  EXPECT_FALSE(HasSavepoints(kAccess));
  EXPECT_EQ(SavepointStatementsFor(kAccess, 1).set, "");
  EXPECT_TRUE(HasSavepoints(kSqlServer));
}

TEST(SchemaStatementsTest, ExistenceQueriesOfTheOriginalKinds) {
  EXPECT_EQ(GetTableExistsSQL(kOracle, "T_SFC_MDC_LOG_HIST"),
            "SELECT TABLE_NAME FROM sys.all_tables WHERE TABLE_NAME = 'T_SFC_MDC_LOG_HIST'");
  EXPECT_EQ(GetTableExistsSQL(kAccess, "T_SFC_MDC_LOG_HIST"),
            "SELECT Name as TABLE_NAME FROM MsysObjects WHERE Name = 'T_SFC_MDC_LOG_HIST'");
  EXPECT_EQ(GetTableExistsSQL(kSqlServer, "T_SFC_MDC_LOG_HIST"),
            "SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = "
            "'T_SFC_MDC_LOG_HIST'");
  EXPECT_EQ(GetIndexExistsSQL(kOracle, "MDC_LOG_HIST", "MDC_LOG_ID"),
            "SELECT COUNT(*) FROM user_indexes WHERE index_name = 'K_SFC_MD_LOHIMDLOID'");
  EXPECT_EQ(GetIndexExistsSQL(kSqlServer, "MDC_LOG_HIST", "MDC_LOG_ID"),
            "SELECT COUNT(*) FROM sysindexes WHERE name = 'K_SFC_MD_LOHIMDLOID'");
  EXPECT_EQ(GetIndexExistsSQL(kAccess, "MDC_LOG_HIST", "MDC_LOG_ID"), "");
}

TEST(SchemaStatementsTest, IndexCoversTheExtraColumnOnSqlServerAndKeysItElsewhere) {
  EXPECT_EQ(LogHistoryIndexStatement(kSqlServer),
            "CREATE NONCLUSTERED INDEX K_SFC_MD_LOHIMDLOID ON T_SFC_MDC_LOG_HIST (MDC_LOG_ID)"
            " INCLUDE (TIME_STAMP)");
  for (int32_t kind : {kOracle, kAccess, kSqlite, kPostgreSql}) {
    EXPECT_EQ(LogHistoryIndexStatement(kind),
              "CREATE INDEX K_SFC_MD_LOHIMDLOID ON T_SFC_MDC_LOG_HIST (MDC_LOG_ID,TIME_STAMP)");
  }
  EXPECT_EQ(GetCreateIndexSQL(kSqlServer, "MACHINE", "VOLTRANE_ID", ""),
            "CREATE NONCLUSTERED INDEX K_SFC_MA_VOID ON T_SFC_MACHINE (VOLTRANE_ID)");
  EXPECT_EQ(GetCreateIndexSQL(kOracle, "MACHINE", "VOLTRANE_ID", ""),
            "CREATE INDEX K_SFC_MA_VOID ON T_SFC_MACHINE (VOLTRANE_ID)");
}

TEST(SchemaStatementsTest, HistoryTableIsOneStatementOrOnOracleThree) {
  EXPECT_EQ(LogHistoryCreateStatements(kSqlServer),
            std::vector<std::string>{
                "CREATE TABLE T_SFC_MDC_LOG_HIST (MDC_LOG_HIST_ID INTEGER IDENTITY(1,1) NOT NULL "
                "PRIMARY KEY,COMMAND_ID INTEGER,DEPT_ID INTEGER,LOCATION_ID INTEGER,GROUP_ID "
                "INTEGER,MACHINE_ID INTEGER,COMMAND_TIME_CODE INTEGER,TIME_STAMP DATETIME,PARAM1 "
                "VARCHAR(255),MDC_LOG_ID INTEGER)"});
  EXPECT_EQ(LogHistoryCreateStatements(kOracle),
            (std::vector<std::string>{
                "CREATE TABLE T_SFC_MDC_LOG_HIST (MDC_LOG_HIST_ID NUMBER(10,0) NOT NULL PRIMARY "
                "KEY,COMMAND_ID NUMBER(10,0),DEPT_ID NUMBER(10,0),LOCATION_ID NUMBER(10,0),"
                "GROUP_ID NUMBER(10,0),MACHINE_ID NUMBER(10,0),COMMAND_TIME_CODE NUMBER(10,0),"
                "TIME_STAMP DATE,PARAM1 VARCHAR2(255),MDC_LOG_ID NUMBER(10,0))",
                "CREATE SEQUENCE S_SFC_MDC_LOG_HIST INCREMENT BY 1 START WITH 1",
                "CREATE TRIGGER TR_SFC_MDC_LOG_HIST BEFORE INSERT OR UPDATE ON T_SFC_MDC_LOG_HIST"
                " FOR EACH ROW BEGIN   IF INSERTING THEN     SELECT S_SFC_MDC_LOG_HIST.NEXTVAL "
                "INTO :NEW.MDC_LOG_HIST_ID FROM DUAL;  ELSE     :NEW.MDC_LOG_HIST_ID := "
                ":OLD.MDC_LOG_HIST_ID;  END IF; END;"}));
  EXPECT_EQ(LogHistoryCreateStatements(kAccess).size(), 1u);
  EXPECT_EQ(
      LogHistoryCreateStatements(kAccess)[0].rfind(
          "CREATE TABLE T_SFC_MDC_LOG_HIST (MDC_LOG_HIST_ID COUNTER NOT NULL PRIMARY KEY,", 0),
      0u);
  EXPECT_TRUE(LogHistoryCreateStatements(9).empty());
}

TEST(SchemaStatementsTest, OnlyTheTriggerNameIsCutToThirtyCharacters) {
  const std::string table = "MACHINE_DOWNTIME_TIMEOUT_HISTORY";  // 32 characters
  std::vector<std::string> statements{"first"};
  AddCreateTableStatements(kOracle, statements, table, ",NOTES LONG)");
  ASSERT_EQ(statements.size(), 4u);  // appended after what the list held
  EXPECT_EQ(statements[0], "first");
  EXPECT_EQ(statements[1], "CREATE TABLE T_SFC_" + table + " (" + table +
                               "_ID NUMBER(10,0) NOT NULL PRIMARY "
                               "KEY,NOTES LONG)");
  EXPECT_EQ(statements[2], "CREATE SEQUENCE S_SFC_" + table + " INCREMENT BY 1 START WITH 1");
  EXPECT_EQ(GetTriggerName(table), "TR_SFC_MACHINE_DOWNTIME_TIMEOU");
  EXPECT_EQ(GetTriggerName(table).size(), 30u);
  EXPECT_EQ(statements[3].rfind("CREATE TRIGGER TR_SFC_MACHINE_DOWNTIME_TIMEOU BEFORE INSERT OR "
                                "UPDATE ON T_SFC_" +
                                    table + " FOR EACH ROW",
                                0),
            0u);
  EXPECT_NE(statements[3].find("SELECT S_SFC_" + table + ".NEXTVAL INTO :NEW." + table + "_ID"),
            std::string::npos);
}

// ---- The stored procedure script carried in the library ----

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The first line of a batch that is not a comment.
std::string FirstStatementLine(const std::string& batch) {
  size_t start = 0;
  while (start < batch.size()) {
    const size_t end = batch.find("\r\n", start);
    const std::string line = Trim(batch.substr(start, end - start));
    if (!line.empty() && line.rfind("--", 0) != 0) return line;
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return "";
}

TEST(StoredProcedureScriptTest, IsCarriedAsTextResource101WithCrLfLineEnds) {
  ASSERT_TRUE(LoadTextResource(kStoredProcedureScriptId).has_value());
  EXPECT_FALSE(LoadTextResource(102).has_value());
  const std::string script(*LoadTextResource(kStoredProcedureScriptId));
  EXPECT_GT(script.size(), 4000u);
  for (size_t i = 0; i < script.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(script[i]);
    ASSERT_LT(c, 0x80) << "single-byte text only, at " << i;
    if (c == '\n') {
      ASSERT_TRUE(i > 0 && script[i - 1] == '\r') << "bare LF at " << i;
    }
    if (c == '\r') {
      ASSERT_TRUE(i + 1 < script.size() && script[i + 1] == '\n') << i;
    }
  }
}

TEST(StoredProcedureScriptTest, SplitsIntoThreeDropsThenThreeCreatesInTheSameOrder) {
  const auto batches = SplitScriptBatches(*LoadTextResource(kStoredProcedureScriptId));
  ASSERT_EQ(batches.size(), 6u);
  const std::vector<std::string> names = {"SetEventStopTime", "AddEventRecord",
                                          "DoAllCustomStartsInLog"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(batches[i], "DROP PROCEDURE " + names[i] + ";\r\n");
    EXPECT_EQ(FirstStatementLine(batches[i + 3]), "CREATE PROCEDURE " + names[i]);
    // Each create defines only its own procedure.
    EXPECT_EQ(batches[i + 3].find("CREATE PROCEDURE", batches[i + 3].find("CREATE PROCEDURE") + 1),
              std::string::npos);
  }
  for (const std::string& batch : batches) EXPECT_EQ(batch.find("\r\nGO\r\n"), std::string::npos);
}

TEST(StoredProcedureScriptTest, APlainSplitAtEveryGoGivesTheSameBatches) {
  const std::string script(*LoadTextResource(kStoredProcedureScriptId));
  std::vector<std::string> plain;
  size_t start = 0;
  for (size_t at; (at = script.find("GO", start)) != std::string::npos; start = at + 2) {
    plain.push_back(Trim(script.substr(start, at - start)));
  }
  plain.push_back(Trim(script.substr(start)));
  std::vector<std::string> by_line;
  for (const std::string& batch : SplitScriptBatches(script)) by_line.push_back(Trim(batch));
  EXPECT_EQ(plain, by_line);
}

// The library calls the procedures with these parameter names (the event records).
TEST(StoredProcedureScriptTest, ProceduresTakeTheParametersTheLibraryBinds) {
  const auto batches = SplitScriptBatches(*LoadTextResource(kStoredProcedureScriptId));
  ASSERT_EQ(batches.size(), 6u);
  for (const char* parameter : {"@MachineID INT", "@CommandID INT", "@dtCurrentTime DATETIME",
                                "@MachineEventID INT OUTPUT", "@DidStop INT OUTPUT"}) {
    EXPECT_NE(batches[3].find(parameter), std::string::npos) << parameter;
  }
  for (const char* parameter :
       {"@DeptID INT", "@LocationID INT", "@GroupID INT", "@MachineID INT", "@CommandID INT",
        "@strParam NVARCHAR(255)", "@dtCurrentTime DATETIME", "@isBoth BIT"}) {
    EXPECT_NE(batches[4].find(parameter), std::string::npos) << parameter;
  }
  EXPECT_NE(batches[5].find("EXEC AddEventRecord"), std::string::npos);
  EXPECT_NE(batches[5].find("COMMAND_TYPE_CODE = 0 AND l.COMMAND_TIME_CODE = 0"),
            std::string::npos);
}

TEST(StoredProcedureScriptTest, SplitsOnlyAtLinesHoldingGo) {
  EXPECT_EQ(SplitScriptBatches("A;\r\nGO\r\nB GOTO x\r\nGOOD\r\n  GO\r\nGO\r\n\r\nGO\r\n"),
            (std::vector<std::string>{"A;\r\n", "B GOTO x\r\nGOOD\r\n  GO\r\n"}));
  EXPECT_EQ(SplitScriptBatches("A\nGO\nB"), (std::vector<std::string>{"A\n", "B"}));
  EXPECT_TRUE(SplitScriptBatches("").empty());
}

}  // namespace
