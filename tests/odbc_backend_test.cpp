// The ODBC backend against real drivers: SQLite through sqliteodbc (no server
// needed) and PostgreSQL through psqlODBC on the server named by
// VOLTRANE_TEST_PG (skipped when none is configured, a failure when
// VOLTRANE_REQUIRE_PG=1 and it cannot be reached). PostgreSQL connections go
// through the provider table, as the system opens them.
#include "dbaccess/odbc_backend.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "dbaccess/db_error.h"
#include "dbaccess/odbc_error.h"
#include "dbaccess/provider_table.h"
#include "tests/support/test_databases.h"

namespace dbaccess {
namespace {

using testsupport::TestDatabase;

bool PostgreSqlAvailable() {
  const auto kinds = testsupport::AvailableKinds();
  return std::find(kinds.begin(), kinds.end(), "PostgreSQL") != kinds.end();
}

// Runs `fn` and returns the DbError it throws; fails the test when it throws none.
DbError ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const DbError& error) {
    return error;
  }
  ADD_FAILURE() << "no DbError was thrown";
  return DbError(0, "");
}

// A TCP port on 127.0.0.1 that nothing listens on (bound, then released).
int ClosedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  socklen_t length = sizeof(address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// ---- Error mapping ---------------------------------------------------------

TEST(OdbcErrorMappingTest, SqlStateClassesMapToTheSystemsNumbers) {
  EXPECT_EQ(ErrorNumberForSqlState("08001"), kErrGenericFailure);
  EXPECT_EQ(ErrorNumberForSqlState("08S01"), kErrGenericFailure);
  EXPECT_EQ(ErrorNumberForSqlState("28000"), kErrLoginFailed);
  EXPECT_EQ(ErrorNumberForSqlState("28P01"), kErrLoginFailed);
  EXPECT_EQ(ErrorNumberForSqlState("42S02"), kErrTableNotFound);
  EXPECT_EQ(ErrorNumberForSqlState("42P01"), kErrTableNotFound);
  EXPECT_EQ(ErrorNumberForSqlState("IM002"), kErrProviderNotFound);
  EXPECT_EQ(ErrorNumberForSqlState("HYT00"), kErrTimeout);
  EXPECT_EQ(ErrorNumberForSqlState("HYT01"), kErrTimeout);
  // Near misses keep the generic statement number.
  EXPECT_EQ(ErrorNumberForSqlState("42S01"), kErrCommandFailed);
  EXPECT_EQ(ErrorNumberForSqlState("23505"), kErrCommandFailed);
  EXPECT_EQ(ErrorNumberForSqlState(""), kErrCommandFailed);
}

TEST(OdbcErrorMappingTest, DriverTextsCorrectWhatTheSqlStateCannotTell) {
  EXPECT_EQ(ErrorNumberForDiagnostic(
                "08001", "connection to server failed: FATAL:  password authentication failed"),
            kErrLoginFailed);
  EXPECT_EQ(ErrorNumberForDiagnostic("08001", "Connection refused"), kErrGenericFailure);
  EXPECT_EQ(ErrorNumberForDiagnostic("HY000", "Could not send Query(connection dead)"),
            kErrGenericFailure);
  EXPECT_EQ(ErrorNumberForDiagnostic("HY000", "[SQLite]no such table: T_X (1)"), kErrTableNotFound);
  EXPECT_EQ(ErrorNumberForDiagnostic("01000", "[unixODBC][Driver Manager]Can't open lib 'X'"),
            kErrProviderNotFound);
  EXPECT_EQ(ErrorNumberForDiagnostic("57014", "canceling statement due to statement timeout"),
            kErrTimeout);
  EXPECT_EQ(ErrorNumberForDiagnostic("57014", "canceling statement due to user request"),
            kErrCommandFailed);
}

// ---- Drivers and providers -------------------------------------------------

TEST(OdbcDriverTest, UnknownDriverIsNotInstalled) {
  EXPECT_FALSE(OdbcDriverInstalled("Voltrane No Such Driver"));
  EXPECT_FALSE(OdbcDriverInstalled(""));
}

TEST(OdbcDriverTest, InstalledDriverIsFoundWithoutRegardToCase) {
  if (!OdbcDriverInstalled("SQLite3")) GTEST_SKIP() << "sqliteodbc is not installed";
  EXPECT_TRUE(OdbcDriverInstalled("sqlite3"));
}

TEST(OdbcDriverTest, MissingDriverIs3706) {
  DbError direct = ErrorOf([] { MakeOdbcBackend("Driver={Voltrane No Such Driver};")->Open(5); });
  EXPECT_EQ(direct.number(), kErrProviderNotFound);
  EXPECT_EQ(direct.description(), kTextProviderNotFound);

  if (OdbcDriverInstalled("ODBC Driver 18 for SQL Server") ||
      OdbcDriverInstalled("ODBC Driver 17 for SQL Server")) {
    GTEST_SKIP() << "a SQL Server driver is installed here";
  }
  DbError provider = ErrorOf(
      [] { CreateBackend("Provider=MSOLEDBSQL;Data Source=plant-sql;Initial Catalog=mdc;"); });
  EXPECT_EQ(provider.number(), kErrProviderNotFound);
  EXPECT_NE(provider.description().find(kTextProviderNotFound), std::string::npos);
}

// ---- Both drivers ----------------------------------------------------------

// One database of a kind, opened through the ODBC backend.
class OdbcBackendTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (IsPostgreSql()) {
      if (!PostgreSqlAvailable()) GTEST_SKIP() << "no PostgreSQL test server configured";
      database_ = testsupport::CreateTestDatabase("PostgreSQL");
      created_ = true;
      connection_string_ = database_.connection_string;
    } else {
      if (!OdbcDriverInstalled("SQLite3")) GTEST_SKIP() << "sqliteodbc is not installed";
      dir_ = testsupport::MakeTempDir();
    }
    backend_ = Connect();
  }

  void TearDown() override {
    if (backend_) backend_->Close();
    if (created_) testsupport::DropTestDatabase(database_);
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  bool IsPostgreSql() const { return GetParam() == "PostgreSQL"; }

  // A further, independent connection to the same database.
  std::unique_ptr<Backend> Connect() const {
    std::unique_ptr<Backend> backend =
        IsPostgreSql() ? CreateBackend(connection_string_)
                       : MakeOdbcBackend("Driver={SQLite3};Database=" + dir_ + "/odbc.db;");
    backend->Open(10);
    return backend;
  }

  // DDL that differs between the engines.
  std::string KeyColumn() const {
    return IsPostgreSql() ? "ID SERIAL PRIMARY KEY" : "ID INTEGER PRIMARY KEY AUTOINCREMENT";
  }
  std::string TimestampType() const { return IsPostgreSql() ? "TIMESTAMP(3)" : "TIMESTAMP"; }
  std::string BoolType() const { return IsPostgreSql() ? "BOOLEAN" : "BIT"; }

  void CreateSampleTable() {
    backend_->Execute("CREATE TABLE T_SAMPLE (" + KeyColumn() +
                          ", NAME VARCHAR(255), COUNTED BIGINT, RATE DOUBLE PRECISION, STAMP " +
                          TimestampType() + ", FLAG " + BoolType() +
                          ", NOTE TEXT, STATUS INTEGER NOT NULL DEFAULT 7)",
                      {}, 30);
  }

  int64_t Count(const std::string& table) {
    return backend_->Query("SELECT COUNT(*) FROM " + table, {}, 30).rows.at(0).at(0).ToInt64();
  }

  TestDatabase database_;
  bool created_ = false;
  std::string connection_string_;
  std::string dir_;
  std::unique_ptr<Backend> backend_;
};

TEST_P(OdbcBackendTest, ReportsEngineAndOpenState) {
  EXPECT_TRUE(backend_->IsOpen());
  EXPECT_EQ(backend_->Engine(),
            IsPostgreSql() ? voltrane::dbkind::kPostgreSql : voltrane::dbkind::kSqlite);
  backend_->Close();
  EXPECT_FALSE(backend_->IsOpen());
  EXPECT_EQ(ErrorOf([&] { backend_->Execute("SELECT 1", {}, 5); }).number(), kErrObjectClosed);
  backend_->Close();  // closing twice does nothing
}

TEST_P(OdbcBackendTest, ExecuteReturnsAffectedRows) {
  CreateSampleTable();
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(backend_->Execute("INSERT INTO T_SAMPLE (NAME, COUNTED) VALUES (?, ?)",
                                {Variant("row"), Variant(i)}, 30),
              1);
  }
  EXPECT_EQ(backend_->Execute("UPDATE T_SAMPLE SET NAME = ? WHERE COUNTED >= ?",
                              {Variant("big"), Variant(2)}, 30),
            2);
  EXPECT_EQ(backend_->Execute("UPDATE T_SAMPLE SET NAME = 'x' WHERE COUNTED > 100", {}, 30), 0);
  EXPECT_EQ(backend_->Execute("DELETE FROM T_SAMPLE", {}, 30), 3);
}

TEST_P(OdbcBackendTest, BindsAndReadsEveryParameterType) {
  CreateSampleTable();
  const std::string text = "Grüße, Ørsted € 𝄞 'quoted' \"double\"";
  const DateTime stamp = DateTime::FromParts(2026, 2, 28, 23, 59, 58, 987);
  backend_->Execute(
      "INSERT INTO T_SAMPLE (NAME, COUNTED, RATE, STAMP, FLAG, NOTE) VALUES (?, ?, ?, ?, ?, ?)",
      {Variant(text), Variant(5000000000LL), Variant(-2.5), Variant(stamp), Variant(true),
       Variant::Null()},
      30);
  backend_->Execute("INSERT INTO T_SAMPLE (NAME, COUNTED, FLAG) VALUES (?, ?, ?)",
                    {Variant(""), Variant(-7), Variant(false)}, 30);

  // Every value also works as a search argument.
  ResultTable found = backend_->Query(
      "SELECT NAME, COUNTED, RATE, STAMP, FLAG, NOTE FROM T_SAMPLE "
      "WHERE NAME = ? AND COUNTED = ? AND RATE = ? AND STAMP = ?",
      {Variant(text), Variant(5000000000LL), Variant(-2.5), Variant(stamp)}, 30);
  ASSERT_EQ(found.rows.size(), 1u);
  const auto& row = found.rows[0];
  EXPECT_EQ(row[0], Variant(text));
  EXPECT_EQ(row[1], Variant(5000000000LL));
  EXPECT_EQ(row[2], Variant(-2.5));
  EXPECT_EQ(row[3], Variant(stamp));
  EXPECT_EQ(found.columns[4].type, FieldType::kBoolean);
  EXPECT_EQ(row[4], Variant(true));
  EXPECT_TRUE(row[5].IsNull());

  ResultTable second = backend_->Query(
      "SELECT NAME, COUNTED, FLAG, STAMP FROM T_SAMPLE WHERE COUNTED = ?", {Variant(-7)}, 30);
  ASSERT_EQ(second.rows.size(), 1u);
  EXPECT_EQ(second.rows[0][0], Variant(""));  // empty text is not null
  EXPECT_EQ(second.rows[0][2], Variant(false));
  EXPECT_TRUE(second.rows[0][3].IsNull());

  EXPECT_EQ(Count("T_SAMPLE"), 2);
  EXPECT_EQ(backend_->Execute("DELETE FROM T_SAMPLE WHERE NOTE IS NULL AND NAME = ?",
                              {Variant(text)}, 30),
            1);
}

// Statements are built as text with quoted literals, so non-ASCII text must
// survive in the statement itself, and in the names of the result.
TEST_P(OdbcBackendTest, NonAsciiTextSurvivesInStatementText) {
  CreateSampleTable();
  backend_->Execute("INSERT INTO T_SAMPLE (NAME) VALUES ('Grüße € 𝄞')", {}, 30);
  ResultTable table =
      backend_->Query("SELECT NAME AS \"Maß\" FROM T_SAMPLE WHERE NAME = 'Grüße € 𝄞'", {}, 30);
  ASSERT_EQ(table.rows.size(), 1u);
  EXPECT_EQ(table.columns[0].name, "Maß");
  EXPECT_EQ(table.rows[0][0], Variant("Grüße € 𝄞"));
}

TEST_P(OdbcBackendTest, TimestampsKeepTheirMilliseconds) {
  CreateSampleTable();
  const DateTime stamps[] = {DateTime::FromParts(2026, 1, 1, 0, 0, 0, 0),
                             DateTime::FromParts(2026, 1, 1, 0, 0, 0, 1),
                             DateTime::FromParts(2026, 12, 31, 23, 59, 59, 999),
                             DateTime::FromParts(1999, 6, 15, 12, 30, 45, 500)};
  for (const DateTime& stamp : stamps) {
    backend_->Execute("INSERT INTO T_SAMPLE (STAMP) VALUES (?)", {Variant(stamp)}, 30);
  }
  ResultTable table = backend_->Query("SELECT STAMP FROM T_SAMPLE ORDER BY ID", {}, 30);
  ASSERT_EQ(table.rows.size(), 4u);
  EXPECT_EQ(table.columns[0].type, FieldType::kDateTime);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(table.rows[i][0], Variant(stamps[i])) << table.rows[i][0].Describe();
  }
  // The server compares with the milliseconds: one millisecond apart is another row.
  EXPECT_EQ(backend_->Query("SELECT ID FROM T_SAMPLE WHERE STAMP > ?", {Variant(stamps[0])}, 30)
                .rows.size(),
            2u);
}

TEST_P(OdbcBackendTest, LongTextIsReadWhole) {
  CreateSampleTable();
  std::string note;
  for (int i = 0; note.size() < 20000; ++i) note += "line " + std::to_string(i) + " äöü\n";
  backend_->Execute("INSERT INTO T_SAMPLE (NOTE) VALUES (?)", {Variant(note)}, 30);
  ResultTable table = backend_->Query("SELECT NOTE FROM T_SAMPLE", {}, 30);
  ASSERT_EQ(table.rows.size(), 1u);
  EXPECT_EQ(table.rows[0][0].ToText().size(), note.size());
  EXPECT_EQ(table.rows[0][0], Variant(note));
}

TEST_P(OdbcBackendTest, ColumnMetadataDescribesTheTable) {
  CreateSampleTable();
  ResultTable table = backend_->Query("SELECT ID, NAME, RATE, STAMP, STATUS FROM T_SAMPLE", {}, 30);
  ASSERT_EQ(table.columns.size(), 5u);
  EXPECT_TRUE(table.rows.empty());
  EXPECT_EQ(table.columns[0].type, FieldType::kInteger);
  EXPECT_EQ(table.columns[1].type, FieldType::kText);
  EXPECT_EQ(table.columns[1].defined_size, 255);
  EXPECT_EQ(table.columns[2].type, FieldType::kDouble);
  EXPECT_EQ(table.columns[3].type, FieldType::kDateTime);
  EXPECT_TRUE(table.columns[1].nullable);
  EXPECT_EQ(Replace(table.columns[1].name, "name", "NAME"), "NAME");
  EXPECT_EQ(Replace(table.columns[1].base_column, "name", "NAME"), "NAME");
  EXPECT_EQ(Replace(table.columns[1].base_table, "t_sample", "T_SAMPLE"), "T_SAMPLE");
  if (IsPostgreSql()) {
    EXPECT_FALSE(table.columns[4].nullable);  // sqliteodbc cannot tell
  }
}

TEST_P(OdbcBackendTest, InsertRowReturnsTheStoredRowWithItsKey) {
  CreateSampleTable();
  const DateTime stamp = DateTime::FromParts(2026, 5, 6, 7, 8, 9, 10);
  ResultTable first =
      backend_->InsertRow("T_SAMPLE", {"NAME", "STAMP"}, {Variant("first"), Variant(stamp)}, 30);
  ResultTable second = backend_->InsertRow("T_SAMPLE", {"NAME"}, {Variant("second")}, 30);
  ASSERT_EQ(first.rows.size(), 1u);
  ASSERT_EQ(second.rows.size(), 1u);
  ASSERT_EQ(first.columns.size(), 8u);
  // ID is generated, STATUS takes its default, the rest is what was written.
  const int64_t first_key = first.rows[0][0].ToInt64();
  EXPECT_GT(first_key, 0);
  EXPECT_EQ(second.rows[0][0].ToInt64(), first_key + 1);
  EXPECT_EQ(first.rows[0][1], Variant("first"));
  EXPECT_EQ(first.rows[0][4], Variant(stamp));
  EXPECT_EQ(first.rows[0][7].ToInt64(), 7);
  EXPECT_EQ(Count("T_SAMPLE"), 2);

  EXPECT_EQ(ErrorOf([&] { backend_->InsertRow("T_SAMPLE", {"NAME"}, {}, 30); }).number(),
            kErrInvalidArgument);
}

TEST_P(OdbcBackendTest, TransactionsCommitAndRollBack) {
  CreateSampleTable();
  std::unique_ptr<Backend> other = Connect();
  auto others_count = [&] { return other->Query("SELECT NAME FROM T_SAMPLE", {}, 30).rows.size(); };

  backend_->BeginTransaction();
  backend_->Execute("INSERT INTO T_SAMPLE (NAME) VALUES ('rolled back')", {}, 30);
  EXPECT_EQ(Count("T_SAMPLE"), 1);
  EXPECT_EQ(others_count(), 0u);
  backend_->RollbackTransaction();
  EXPECT_EQ(Count("T_SAMPLE"), 0);

  // After a rollback, as outside any transaction, every statement commits at once.
  backend_->Execute("INSERT INTO T_SAMPLE (NAME) VALUES ('autocommit')", {}, 30);
  EXPECT_EQ(others_count(), 1u);

  backend_->BeginTransaction();
  backend_->Execute("INSERT INTO T_SAMPLE (NAME) VALUES ('committed')", {}, 30);
  backend_->CommitTransaction();
  EXPECT_EQ(others_count(), 2u);
  backend_->Execute("INSERT INTO T_SAMPLE (NAME) VALUES ('autocommit again')", {}, 30);
  EXPECT_EQ(others_count(), 3u);

  EXPECT_EQ(ErrorOf([&] { backend_->CommitTransaction(); }).number(), kErrCommandFailed);
  backend_->BeginTransaction();
  EXPECT_EQ(ErrorOf([&] { backend_->BeginTransaction(); }).number(), kErrCommandFailed);
  backend_->RollbackTransaction();
}

TEST_P(OdbcBackendTest, MissingTableIs80040E37) {
  DbError error = ErrorOf([&] { backend_->Query("SELECT * FROM T_SFC_NO_SUCH_TABLE", {}, 30); });
  EXPECT_EQ(error.number(), kErrTableNotFound);
  EXPECT_FALSE(error.native().empty());
  // Other statement errors keep the generic number and the driver's text.
  DbError syntax = ErrorOf([&] { backend_->Execute("SELEKT 1", {}, 30); });
  EXPECT_EQ(syntax.number(), kErrCommandFailed);
  EXPECT_FALSE(syntax.description().empty());
}

TEST_P(OdbcBackendTest, SchemaListsNameTablesKeysAndIndexes) {
  CreateSampleTable();
  backend_->Execute(
      "CREATE TABLE T_PAIR (B_ID INTEGER NOT NULL, A_ID INTEGER NOT NULL, "
      "PRIMARY KEY (B_ID, A_ID))",
      {}, 30);
  backend_->Execute("CREATE INDEX K_SAMPLE_NAME ON T_SAMPLE (NAME)", {}, 30);

  std::vector<std::string> tables = backend_->TableNames();
  for (std::string& name : tables)
    name = Replace(Replace(name, "t_sample", "T_SAMPLE"), "t_pair", "T_PAIR");
  std::sort(tables.begin(), tables.end());
  EXPECT_EQ(tables, (std::vector<std::string>{"T_PAIR", "T_SAMPLE"}));

  std::vector<std::string> keys = backend_->PrimaryKeyColumns("T_PAIR");
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(Replace(keys[0], "b_id", "B_ID"), "B_ID");
  EXPECT_EQ(Replace(keys[1], "a_id", "A_ID"), "A_ID");
  EXPECT_EQ(backend_->PrimaryKeyColumns("T_SAMPLE").size(), 1u);
  EXPECT_TRUE(backend_->PrimaryKeyColumns("T_NO_SUCH_TABLE").empty());

  auto has_index = [](const std::vector<std::string>& names) {
    return std::any_of(names.begin(), names.end(), [](std::string name) {
      return Replace(name, "k_sample_name", "K_SAMPLE_NAME") == "K_SAMPLE_NAME";
    });
  };
  EXPECT_TRUE(has_index(backend_->IndexNames("T_SAMPLE")));
  EXPECT_TRUE(has_index(backend_->IndexNames("")));
  EXPECT_FALSE(has_index(backend_->IndexNames("T_PAIR")));
}

std::string DriverName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

INSTANTIATE_TEST_SUITE_P(Drivers, OdbcBackendTest, ::testing::Values("SQLite3", "PostgreSQL"),
                         DriverName);

// ---- PostgreSQL only -------------------------------------------------------

class OdbcPostgreSqlTest : public OdbcBackendTest {};

TEST_P(OdbcPostgreSqlTest, WrongPasswordIsARefusedLogin) {
  std::unique_ptr<Backend> backend =
      CreateBackend(Replace(connection_string_, "Password=", "Password=wrong-"));
  DbError error = ErrorOf([&] { backend->Open(10); });
  EXPECT_EQ(error.number(), kErrLoginFailed) << error.description();
  EXPECT_FALSE(backend->IsOpen());
}

TEST_P(OdbcPostgreSqlTest, UnreachableServerIsAGenericFailure) {
  const std::string data_source = "Data Source=127.0.0.1:" + std::to_string(ClosedPort()) + ";";
  const std::string text =
      "Provider=PostgreSQL;" + data_source + "Initial Catalog=x;User ID=u;Password=p;";
  std::unique_ptr<Backend> backend = CreateBackend(text);
  DbError error = ErrorOf([&] { backend->Open(5); });
  EXPECT_EQ(error.number(), kErrGenericFailure) << error.description();
  EXPECT_EQ(error.native().substr(0, 2), "08");
}

TEST_P(OdbcPostgreSqlTest, LostConnectionIsAGenericFailure) {
  const int64_t pid = backend_->Query("SELECT pg_backend_pid()", {}, 30).rows[0][0].ToInt64();
  std::unique_ptr<Backend> admin = Connect();
  admin->Query("SELECT pg_terminate_backend(?)", {Variant(pid)}, 30);
  DbError error = ErrorOf([&] { backend_->Query("SELECT 1", {}, 30); });
  EXPECT_EQ(error.number(), kErrGenericFailure) << error.description();
}

TEST_P(OdbcPostgreSqlTest, QueryTimeoutIsReported) {
  DbError error = ErrorOf([&] { backend_->Execute("SELECT pg_sleep(5)", {}, 1); });
  EXPECT_EQ(error.number(), kErrTimeout) << error.description();
  // The connection stays usable, and a later statement has its own limit.
  EXPECT_EQ(backend_->Query("SELECT pg_sleep(1.2), 1", {}, 30).rows.size(), 1u);
}

TEST_P(OdbcPostgreSqlTest, CallProcedureFillsOutputAndReturnValues) {
  backend_->Execute(
      "CREATE FUNCTION ADD_SHIFT(p_base INTEGER, p_stamp TIMESTAMP(3), p_label VARCHAR, "
      "OUT p_next INTEGER, OUT p_text VARCHAR, OUT p_later TIMESTAMP(3)) AS $$ BEGIN "
      "p_next := p_base + 1; p_text := p_label || '/' || p_base; "
      "p_later := p_stamp + INTERVAL '1 second'; END $$ LANGUAGE plpgsql",
      {}, 30);
  const DateTime stamp = DateTime::FromParts(2026, 3, 1, 6, 0, 0, 250);
  std::vector<Parameter> params = {
      {"p_base", dbaccess::ParamType::kInteger, ParamDirection::kInput, 0, Variant(41)},
      {"p_stamp", dbaccess::ParamType::kDateTime, ParamDirection::kInput, 0, Variant(stamp)},
      {"p_label", dbaccess::ParamType::kText, ParamDirection::kInput, 50, Variant("Schicht ä")},
      {"p_next", dbaccess::ParamType::kInteger, ParamDirection::kOutput, 0, Variant()},
      {"p_text", dbaccess::ParamType::kText, ParamDirection::kOutput, 50, Variant()},
      {"p_later", dbaccess::ParamType::kDateTime, ParamDirection::kOutput, 0, Variant()}};
  backend_->CallProcedure("ADD_SHIFT", params, 30);
  EXPECT_EQ(params[0].value, Variant(41));  // inputs stay as they were
  EXPECT_EQ(params[3].value, Variant(42));
  EXPECT_EQ(params[4].value, Variant("Schicht ä/41"));
  EXPECT_EQ(params[5].value, Variant(stamp.AddSeconds(1)));

  backend_->Execute(
      "CREATE FUNCTION TWICE(p_value INTEGER) RETURNS INTEGER AS "
      "$$ SELECT p_value * 2 $$ LANGUAGE sql",
      {}, 30);
  // The return value binds first, wherever it stands in the list.
  std::vector<Parameter> twice = {
      {"p_value", dbaccess::ParamType::kInteger, ParamDirection::kInput, 0, Variant(21)},
      {"RETURN_VALUE", dbaccess::ParamType::kInteger, ParamDirection::kReturnValue, 0, Variant()}};
  backend_->CallProcedure("TWICE", twice, 30);
  EXPECT_EQ(twice[1].value, Variant(42));

  EXPECT_EQ(ErrorOf([&] { backend_->CallProcedure("NO_SUCH_FUNCTION", twice, 30); }).number(),
            kErrCommandFailed);
}

INSTANTIATE_TEST_SUITE_P(Server, OdbcPostgreSqlTest, ::testing::Values("PostgreSQL"), DriverName);

}  // namespace
}  // namespace dbaccess
