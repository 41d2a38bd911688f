// Connections over every available database kind (transactions, error
// numbers), and what only the SQLite backend does: WAL sharing between
// connections, the busy timeout, file errors, column types and schema lists.
#include "dbaccess/sqlite_backend.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "dbaccess/connection.h"
#include "dbaccess/db_error.h"
#include "dbaccess/recordset.h"
#include "tests/support/portable_sql.h"
#include "tests/support/test_databases.h"

namespace dbaccess {
namespace {

DbError ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const DbError& error) {
    return error;
  }
  return DbError(0, "");
}

int64_t CountRows(const ConnectionPtr& connection, const std::string& table) {
  Recordset rs;
  rs.Open("select count(*) as N from " + table, connection);
  return rs.Fields("N").Value().ToInt64();
}

class ConnectionTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateTestDatabase(GetParam());
    connection_ = OpenConnection(database_.connection_string);
    connection_->Execute("CREATE TABLE T_LOG (LOG_ID " + testsupport::GeneratedKeyType(database_) +
                         ", NOTE VARCHAR(20))");
  }
  void TearDown() override {
    connection_->Close();
    testsupport::DropTestDatabase(database_);
  }
  static ConnectionPtr OpenConnection(const std::string& connection_string) {
    auto connection = std::make_shared<Connection>();
    connection->Open(connection_string);
    return connection;
  }

  testsupport::TestDatabase database_;
  ConnectionPtr connection_;
};

TEST_P(ConnectionTest, ExecuteCountsAffectedRows) {
  EXPECT_EQ(connection_->Execute("insert into T_LOG (NOTE) values ('a')"), 1);
  EXPECT_EQ(connection_->Execute("insert into T_LOG (NOTE) values (?)", {Variant("b")}), 1);
  EXPECT_EQ(connection_->Execute("update T_LOG set NOTE = 'c'"), 2);
  EXPECT_EQ(connection_->Execute("delete from T_LOG where NOTE = 'none'"), 0);
  EXPECT_EQ(connection_->Execute("CREATE TABLE T_OTHER (A INTEGER)"), 0);
}

TEST_P(ConnectionTest, TransactionsCommitAndRollBackOneAtATime) {
  connection_->BeginTrans();
  EXPECT_TRUE(connection_->InTransaction());
  EXPECT_EQ(ErrorOf([&] { connection_->BeginTrans(); }).number(), kErrCommandFailed);
  connection_->Execute("insert into T_LOG (NOTE) values ('kept')");
  connection_->CommitTrans();

  connection_->BeginTrans();
  connection_->Execute("insert into T_LOG (NOTE) values ('dropped')");
  connection_->RollbackTrans();
  EXPECT_FALSE(connection_->InTransaction());
  EXPECT_EQ(CountRows(connection_, "T_LOG"), 1);

  EXPECT_EQ(ErrorOf([&] { connection_->CommitTrans(); }).number(), kErrCommandFailed);
  EXPECT_EQ(ErrorOf([&] { connection_->RollbackTrans(); }).number(), kErrCommandFailed);

  // Closing with a transaction open rolls it back.
  connection_->BeginTrans();
  connection_->Execute("insert into T_LOG (NOTE) values ('lost')");
  connection_->Close();
  connection_->Open();
  EXPECT_EQ(CountRows(connection_, "T_LOG"), 1);
}

TEST_P(ConnectionTest, ErrorNumbersForMissingTableAndSyntax) {
  const DbError missing = ErrorOf([&] { connection_->Execute("delete from T_NOWHERE"); });
  EXPECT_EQ(missing.number(), kErrTableNotFound);
  EXPECT_FALSE(missing.native().empty());
  ASSERT_EQ(connection_->Errors().size(), 1u);
  EXPECT_EQ(connection_->Errors().front().number(), kErrTableNotFound);

  const DbError syntax = ErrorOf([&] { connection_->Execute("delet from T_LOG"); });
  EXPECT_EQ(syntax.number(), kErrCommandFailed);
  EXPECT_FALSE(syntax.description().empty());

  connection_->Execute("delete from T_LOG");
  EXPECT_TRUE(connection_->Errors().empty());  // cleared by the next call
}

INSTANTIATE_TEST_SUITE_P(Kinds, ConnectionTest, ::testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

// ---- SQLite only ----

class SqliteBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::MakeTempDir();
    path_ = dir_ + "/mdc.db";
    connection_ = Open("");
    connection_->Execute(
        "CREATE TABLE T_MACHINE (MACHINE_ID INTEGER PRIMARY KEY, MACHINE_NUMBER VARCHAR(30) NOT "
        "NULL, RATE REAL, QTY NUMERIC(10,2), SEEN DATETIME, FLAG BOOLEAN, NOTES TEXT)");
    connection_->Execute("CREATE INDEX K_SFC_MACHINE_1 ON T_MACHINE (MACHINE_NUMBER)");
  }
  void TearDown() override {
    connection_->Close();
    std::filesystem::remove_all(dir_);
  }
  ConnectionPtr Open(const std::string& extra) {
    auto connection = std::make_shared<Connection>();
    connection->Open("Provider=SQLite;Data Source=" + path_ + ";" + extra);
    return connection;
  }
  ResultTable Query(const ConnectionPtr& connection, const std::string& sql) {
    return connection->backend().Query(sql, {}, 30);
  }

  std::string dir_;
  std::string path_;
  ConnectionPtr connection_;
};

TEST_F(SqliteBackendTest, OpensInWalModeWithTheChosenSynchronousLevel) {
  EXPECT_EQ(Query(connection_, "PRAGMA journal_mode").rows[0][0].ToText(), "wal");
  EXPECT_EQ(Query(connection_, "PRAGMA synchronous").rows[0][0].ToInt64(), 1);  // NORMAL
  auto full = Open("Synchronous=Full;");
  EXPECT_EQ(Query(full, "PRAGMA synchronous").rows[0][0].ToInt64(), 2);
  EXPECT_EQ(connection_->Kind(), voltrane::dbkind::kSqlite);
}

// The file holds the plant's records: a new one, and the journals SQLite gives its mode,
// are closed to other users whatever the process's umask.
TEST_F(SqliteBackendTest, NewDatabaseFilesAreHiddenFromOtherUsers) {
  for (const std::string suffix : {"", "-wal", "-shm"}) {
    struct stat info {};
    ASSERT_EQ(stat((path_ + suffix).c_str(), &info), 0) << suffix;
    EXPECT_EQ(info.st_mode & 0007, 0u) << suffix;
  }
}

// Root creating the database in the collector's base folder gives it to the folder's owner,
// the account that must write it.
TEST_F(SqliteBackendTest, RootCreatesADatabaseForTheOwnerOfItsFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can create files for another account";
  const std::string folder = dir_ + "/account";
  std::filesystem::create_directory(folder);
  ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
  Connection connection;
  connection.Open("Provider=SQLite;Data Source=" + folder + "/mdc.db;");
  connection.Execute("CREATE TABLE T_ONE (ID INTEGER PRIMARY KEY)");
  for (const std::string suffix : {"", "-wal", "-shm"}) {
    struct stat info {};
    ASSERT_EQ(stat((folder + "/mdc.db" + suffix).c_str(), &info), 0) << suffix;
    EXPECT_EQ(info.st_uid, 65534u) << suffix;
  }
  connection.Close();
}

TEST_F(SqliteBackendTest, AFileThatCannotBeOpenedIsAGenericFailure) {
  Connection missing_folder;
  const DbError error =
      ErrorOf([&] { missing_folder.Open("Provider=SQLite;Data Source=" + dir_ + "/no/such.db"); });
  EXPECT_EQ(error.number(), kErrGenericFailure);
  EXPECT_EQ(error.native(), "14");  // SQLITE_CANTOPEN
  EXPECT_FALSE(missing_folder.IsOpen());

  {
    std::ofstream junk(dir_ + "/junk.db");
    junk << std::string(4096, 'x');
  }
  Connection not_a_database;
  EXPECT_EQ(ErrorOf([&] {
              not_a_database.Open("Provider=SQLite;Data Source=" + dir_ + "/junk.db");
            }).number(),
            kErrGenericFailure);

  EXPECT_EQ(ErrorOf([] { MakeSqliteBackend(ParseConnectionString("Provider=SQLite;")); }).number(),
            kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] {
              MakeSqliteBackend(ParseConnectionString("Data Source=x;Busy Timeout=soon"));
            }).number(),
            kErrInvalidArgument);

  auto backend = MakeSqliteBackend(ParseConnectionString("Data Source=" + path_));
  EXPECT_EQ(ErrorOf([&] { backend->Execute("select 1", {}, 1); }).number(), kErrGenericFailure);
}

TEST_F(SqliteBackendTest, ASecondConnectionSeesCommittedRowsWhileAReaderHoldsItsSnapshot) {
  auto reader = Open("");
  reader->Execute("BEGIN");  // a deferred read transaction: its snapshot starts at the select
  EXPECT_EQ(CountRows(reader, "T_MACHINE"), 0);

  auto writer = Open("Busy Timeout=200;");
  writer->BeginTrans();  // not blocked by the reader
  writer->Execute("insert into T_MACHINE (MACHINE_NUMBER) values ('M1')");
  writer->CommitTrans();

  EXPECT_EQ(CountRows(connection_, "T_MACHINE"), 1);
  EXPECT_EQ(CountRows(reader, "T_MACHINE"), 0);  // still its own snapshot
  reader->Execute("COMMIT");
  EXPECT_EQ(CountRows(reader, "T_MACHINE"), 1);
}

TEST_F(SqliteBackendTest, ALockOutlastingTheBusyTimeoutIsATimeout) {
  connection_->BeginTrans();
  connection_->Execute("insert into T_MACHINE (MACHINE_NUMBER) values ('M1')");

  auto other = Open("Busy Timeout=50;");
  const DbError begin = ErrorOf([&] { other->BeginTrans(); });
  EXPECT_EQ(begin.number(), kErrTimeout);
  EXPECT_NE(begin.description().find("database is locked"), std::string::npos);
  EXPECT_FALSE(other->InTransaction());
  EXPECT_EQ(ErrorOf([&] { other->Execute("delete from T_MACHINE"); }).number(), kErrTimeout);

  connection_->CommitTrans();
  other->BeginTrans();  // free again
  EXPECT_EQ(other->Execute("delete from T_MACHINE"), 1);
  other->CommitTrans();
}

TEST_F(SqliteBackendTest, ColumnTypesComeFromTheDeclaredTypes) {
  connection_->Execute(
      "insert into T_MACHINE values (5, 'M5', 2, 12.5, '2026-01-02 03:04:05.678', 1, NULL)");
  connection_->Execute(
      "insert into T_MACHINE values (6, 'M6', 2.5, 3, 'not a date', 0, 'long text')");
  const ResultTable result = Query(connection_, "select * from T_MACHINE order by MACHINE_ID");
  ASSERT_EQ(result.columns.size(), 7u);
  const auto& c = result.columns;
  EXPECT_EQ(c[0].type, FieldType::kInteger);
  EXPECT_FALSE(c[0].nullable);  // the rowid key
  EXPECT_EQ(c[0].base_table, "T_MACHINE");
  EXPECT_EQ(c[1].type, FieldType::kText);
  EXPECT_EQ(c[1].defined_size, 30);
  EXPECT_FALSE(c[1].nullable);
  EXPECT_EQ(c[2].type, FieldType::kDouble);
  EXPECT_EQ(c[3].type, FieldType::kDecimal);
  EXPECT_EQ(c[3].precision, 10);
  EXPECT_EQ(c[3].scale, 2);
  EXPECT_EQ(c[4].type, FieldType::kDateTime);
  EXPECT_EQ(c[5].type, FieldType::kBoolean);
  EXPECT_EQ(c[6].type, FieldType::kText);
  EXPECT_TRUE(c[6].nullable);

  const auto& row = result.rows[0];
  EXPECT_EQ(row[2], Variant(2.0));  // REAL stays a double even when integral
  EXPECT_EQ(row[3], Variant(12.5));
  EXPECT_EQ(row[4], Variant(DateTime::FromParts(2026, 1, 2, 3, 4, 5, 678)));
  EXPECT_EQ(row[5], Variant(true));
  EXPECT_TRUE(row[6].IsNull());
  EXPECT_EQ(result.rows[1][4], Variant("not a date"));  // unreadable text is kept as text
  EXPECT_EQ(result.rows[1][3], Variant(3));

  const ResultTable expressions =
      Query(connection_,
            "select count(*) as N, max(RATE) as R, max(MACHINE_NUMBER) as T, "
            "min(SEEN) as S from T_MACHINE");
  EXPECT_EQ(expressions.columns[0].type, FieldType::kInteger);
  EXPECT_EQ(expressions.columns[1].type, FieldType::kDouble);
  EXPECT_EQ(expressions.columns[2].type, FieldType::kText);
  EXPECT_EQ(expressions.columns[0].base_table, "");
  // An expression over date-times gives text, which converts on demand.
  EXPECT_EQ(expressions.rows[0][3].ToDateTime(), DateTime::FromParts(2026, 1, 2, 3, 4, 5, 678));
}

TEST_F(SqliteBackendTest, DateTimesAndBooleansBindInTheirStoredForms) {
  const DateTime when = DateTime::FromParts(2026, 12, 31, 23, 59, 59, 999);
  connection_->Execute("insert into T_MACHINE (MACHINE_NUMBER, SEEN, FLAG) values (?, ?, ?)",
                       {Variant("M1"), Variant(when), Variant(true)});
  const ResultTable raw =
      Query(connection_, "select typeof(SEEN), SEEN || '', FLAG + 0 from T_MACHINE");
  EXPECT_EQ(raw.rows[0][0], Variant("text"));
  EXPECT_EQ(raw.rows[0][1], Variant("2026-12-31 23:59:59.999"));
  EXPECT_EQ(raw.rows[0][2], Variant(1));

  EXPECT_EQ(ErrorOf([&] {
              connection_->Execute("update T_MACHINE set NOTES = ? where MACHINE_ID = ?",
                                   {Variant("x")});
            }).number(),
            kErrCommandFailed);
  EXPECT_EQ(ErrorOf([&] { connection_->Execute("delete from T_MACHINE", {Variant(1)}); }).number(),
            kErrCommandFailed);
}

TEST_F(SqliteBackendTest, BatchesRunEveryStatement) {
  EXPECT_EQ(connection_->Execute("insert into T_MACHINE (MACHINE_NUMBER) values (?); "
                                 "insert into T_MACHINE (MACHINE_NUMBER) values (?);",
                                 {Variant("A"), Variant("B")}),
            1);
  const ResultTable last =
      Query(connection_,
            "update T_MACHINE set NOTES = 'n'; select count(*) from T_MACHINE where NOTES = 'n'");
  EXPECT_EQ(last.rows[0][0], Variant(2));
}

TEST_F(SqliteBackendTest, SchemaListsKeysAndInsertedRows) {
  Backend& backend = connection_->backend();
  connection_->Execute("CREATE TABLE T_PAIR (A INTEGER, B INTEGER, C TEXT, PRIMARY KEY (B, A))");
  EXPECT_EQ(backend.TableNames(), (std::vector<std::string>{"T_MACHINE", "T_PAIR"}));
  EXPECT_EQ(backend.IndexNames("t_machine"), (std::vector<std::string>{"K_SFC_MACHINE_1"}));
  EXPECT_EQ(backend.IndexNames(""), (std::vector<std::string>{"K_SFC_MACHINE_1"}));
  EXPECT_TRUE(backend.IndexNames("T_PAIR").empty());
  EXPECT_EQ(backend.PrimaryKeyColumns("T_PAIR"), (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(backend.PrimaryKeyColumns("T_MACHINE"), (std::vector<std::string>{"MACHINE_ID"}));
  EXPECT_TRUE(backend.PrimaryKeyColumns("T_NOWHERE").empty());

  const ResultTable stored =
      backend.InsertRow("T_MACHINE", {"MACHINE_NUMBER", "SEEN"},
                        {Variant("M9"), Variant(DateTime::FromParts(2026, 1, 1))}, 30);
  ASSERT_EQ(stored.rows.size(), 1u);
  EXPECT_EQ(stored.rows[0][0], Variant(1));
  EXPECT_EQ(stored.rows[0][4], Variant(DateTime::FromParts(2026, 1, 1)));
  EXPECT_EQ(backend.InsertRow("T_PAIR", {}, {}, 30).rows.size(), 1u);  // DEFAULT VALUES

  std::vector<Parameter> params;
  EXPECT_EQ(ErrorOf([&] { backend.CallProcedure("AddEventRecord", params, 30); }).number(),
            kErrCommandFailed);
}

}  // namespace
}  // namespace dbaccess
