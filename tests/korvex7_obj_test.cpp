// CKorvex7Obj: the connect retry rules, the SQL Server fallback, the
// connection probe, the statement and transaction retries, the scripting
// twins, and a real SQLite connection.
#include "library/korvex7_obj.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbaccess/db_error.h"
#include "cipher/mod_crypto.h"
#include "library/components.h"
#include "tests/support/fake_provider.h"
#include "tests/support/test_databases.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using dbaccess::kErrCommandFailed;
using dbaccess::kErrGenericFailure;
using dbaccess::kErrLoginFailed;
using testsupport::FakeFailure;
using testsupport::FakeProviderRegistration;
using testsupport::FakeScript;

constexpr int32_t kSqlServer = 2;
constexpr int32_t kSqlite = 3;
constexpr const char* kFakeString = "Provider=FakeDb;Data Source=plant-db;";

// The session and components of one library object.
class Korvex7ObjTest : public ::testing::Test {
 protected:
  std::shared_ptr<dbaccess::ManualClock> clock_ = std::make_shared<dbaccess::ManualClock>();
  std::shared_ptr<FakeScript> script_ = std::make_shared<FakeScript>();
  FakeProviderRegistration registration_{"FakeDb", script_};
  Components object_{clock_};

  int64_t ElapsedSeconds(const dbaccess::DateTime& start) {
    return start.SecondsUntil(clock_->Now());
  }
};

TEST_F(Korvex7ObjTest, GenericFailureIsRetriedEveryFiveSecondsUntilTheDeadline) {
  script_->open_default = {kErrGenericFailure, "Server does not exist or access denied."};
  const dbaccess::DateTime start = clock_->Now();
  std::string error;

  EXPECT_FALSE(object_.session.ConnectToDatabase(kFakeString, kSqlite, error));

  EXPECT_EQ(error, "0x80004005: Server does not exist or access denied.");
  // Attempts at 0, 5, ..., 300 s; the wait after the one at 300 s passes the deadline.
  EXPECT_EQ(script_->opens, 61);
  EXPECT_EQ(ElapsedSeconds(start), 305);
  EXPECT_FALSE(object_.log.IsConnected());
}

TEST_F(Korvex7ObjTest, OtherFailureReturnsAfterOneAttemptAndOneWait) {
  script_->open_default = {kErrLoginFailed, "Login failed for user 'mdc'."};
  const dbaccess::DateTime start = clock_->Now();
  std::string error;

  EXPECT_FALSE(object_.session.ConnectToDatabase(kFakeString, kSqlite, error));

  EXPECT_EQ(error, "0x80040E4D: Login failed for user 'mdc'.");
  EXPECT_EQ(script_->opens, 1);
  EXPECT_EQ(ElapsedSeconds(start), 5);
}

TEST_F(Korvex7ObjTest, GenericFailureThenSuccessConnectsWithCommandTimeout) {
  script_->open_outcomes = {{kErrGenericFailure, "unreachable"},
                            {kErrGenericFailure, "unreachable"}};
  const dbaccess::DateTime start = clock_->Now();
  std::string error = "stale";

  EXPECT_TRUE(object_.session.ConnectToDatabase(kFakeString, kSqlite, error));

  EXPECT_EQ(error, "");
  EXPECT_EQ(script_->opens, 3);
  EXPECT_EQ(ElapsedSeconds(start), 10);
  EXPECT_EQ(object_.session.connection()->CommandTimeout(), 120);
  EXPECT_EQ(object_.session.GetConnectionString(), kFakeString);
}

TEST_F(Korvex7ObjTest, SqlServerFallsBackToTheConnectionClass) {
  // The direct open is refused; the connection class, filled from the same
  // string, gets in on its first attempt.
  script_->open_outcomes = {{kErrLoginFailed, "Login failed."}};
  const std::string stored =
      "Provider=FakeDb;DataTypeCompatibility=80;Data Source=srv;Initial Catalog=mdc;"
      "eUser ID=" +
      voltrane::CryptCredential(voltrane::kEncipher, voltrane::kUserNameKeyRole, "sa") +
      ";ePassword=" +
      voltrane::CryptCredential(voltrane::kEncipher, voltrane::kPasswordKeyRole, "s3cret") + ";";
  const dbaccess::DateTime start = clock_->Now();
  std::string error;

  EXPECT_TRUE(object_.session.ConnectToDatabase(stored, kSqlServer, error));

  EXPECT_EQ(error, "");
  EXPECT_EQ(ElapsedSeconds(start), 0);
  ASSERT_GE(script_->opened_strings.size(), 2u);
  EXPECT_EQ(script_->opened_strings[1],
            "Provider=FakeDb;DataTypeCompatibility=80;Data Source=srv;Initial Catalog=mdc;"
            "User ID=sa;Password=s3cret;");
  const std::string fallback = object_.session.GetConnectionString();
  EXPECT_NE(fallback, stored);
  EXPECT_EQ(fallback.rfind("Provider=FakeDb;DataTypeCompatibility=80;Data Source=srv", 0), 0u)
      << fallback;
  EXPECT_TRUE(object_.log.IsConnected());
}

TEST_F(Korvex7ObjTest, OtherKindsGetNoFallback) {
  script_->open_outcomes = {{kErrLoginFailed, "Login failed."}};
  std::string error;
  EXPECT_FALSE(object_.session.ConnectToDatabase(kFakeString, kSqlite, error));
  EXPECT_EQ(script_->opens, 1);
}

TEST_F(Korvex7ObjTest, DirectOpenAfterAFallbackForgetsTheFallbackString) {
  script_->open_outcomes = {{kErrLoginFailed, "Login failed."}};
  std::string error;
  ASSERT_TRUE(
      object_.session.ConnectToDatabase("Provider=FakeDb;Data Source=a;", kSqlServer, error));
  ASSERT_TRUE(
      object_.session.ConnectToDatabase("Provider=FakeDb;Data Source=b;", kSqlServer, error));
  EXPECT_EQ(object_.session.GetConnectionString(), "Provider=FakeDb;Data Source=b;");
}

TEST_F(Korvex7ObjTest, AlteredConnectionStringEnciphersCredentialsAndSkipsEmptyParts) {
  voltrane::CDatabaseConnectionObj fallback;
  fallback.SQLProvider = "SQLOLEDB";
  fallback.SQLServerServer = "srv";
  fallback.SQLServerDatabaseName = "";
  fallback.SQLServerUserName = "";
  fallback.SQLServerPassword = "";
  EXPECT_EQ(object_.session.BuildAlteredConnectionString(fallback),
            "Provider=SQLOLEDB;Data Source=srv;");

  fallback.SQLServerDatabaseName = "mdc";
  fallback.SQLServerUserName = "sa";
  fallback.SQLServerPassword = "pw";
  const std::string altered = object_.session.BuildAlteredConnectionString(fallback);
  EXPECT_EQ(voltrane::DecipherConnectionString(altered),
            "Provider=SQLOLEDB;Data Source=srv;Initial Catalog=mdc;User ID=sa;Password=pw;");
}

TEST_F(Korvex7ObjTest, SecondConnectClosesTheFirstConnection) {
  std::string error;
  ASSERT_TRUE(object_.session.ConnectToDatabase(kFakeString, kSqlite, error));
  const dbaccess::ConnectionPtr first = object_.session.connection();
  ASSERT_TRUE(object_.session.ConnectToDatabase(kFakeString, kSqlite, error));

  EXPECT_FALSE(first->IsOpen());
  EXPECT_NE(object_.session.connection(), first);
  EXPECT_EQ(script_->closes, 1);
  EXPECT_TRUE(object_.log.IsConnected());
}

TEST_F(Korvex7ObjTest, IsConnectedProbesTheDatabase) {
  EXPECT_FALSE(object_.log.IsConnected());  // fresh object

  std::string error;
  ASSERT_TRUE(object_.session.ConnectToDatabase(kFakeString, kSqlite, error));
  EXPECT_TRUE(object_.log.IsConnected());
  EXPECT_EQ(script_->executed.back(), "select PTYPE_ID from T_VMES_PTYPE where PTYPE_ID = 0");

  script_->fail_sql_containing = "T_VMES_PTYPE";
  script_->execute_failure = {dbaccess::kErrTableNotFound, "no such table: T_VMES_PTYPE"};
  EXPECT_FALSE(object_.log.IsConnected());
}

TEST_F(Korvex7ObjTest, GenericStatementFailureClosesTheConnection) {
  std::string error;
  ASSERT_TRUE(object_.session.ConnectToDatabase(kFakeString, kSqlite, error));
  script_->fail_sql_containing = "update";
  script_->execute_failure = {kErrCommandFailed, "syntax error"};

  EXPECT_FALSE(object_.session.ExecuteSQL("update T_SFC_MACHINE set X=1", error));
  EXPECT_EQ(error, "Error # -2147217900:syntax error");
  EXPECT_TRUE(object_.log.IsConnected());  // an ordinary statement error keeps the connection

  script_->execute_failure = {kErrGenericFailure, "Communication link failure"};
  EXPECT_FALSE(object_.session.ExecuteSQL("update T_SFC_MACHINE set X=2", error));
  EXPECT_EQ(error, "Error # -2147467259:Communication link failure");
  EXPECT_FALSE(object_.log.IsConnected());
}

TEST_F(Korvex7ObjTest, ExecuteWithRetryMakesNinetyAttemptsOneSecondApart) {
  std::string error;
  ASSERT_TRUE(object_.session.ConnectToDatabase(kFakeString, kSqlite, error));
  script_->executed.clear();
  script_->fail_sql_containing = "delete";
  script_->execute_failure = {dbaccess::kErrTimeout, "database is locked"};
  const dbaccess::DateTime start = clock_->Now();
  int32_t affected = -1;

  EXPECT_FALSE(object_.session.ExecuteWithRetry("delete from T_SFC_MDC_LOG", error, affected));

  EXPECT_EQ(script_->executed.size(), 90u);
  EXPECT_EQ(ElapsedSeconds(start), 89);
  EXPECT_EQ(error, "Error # -2147217871:database is locked");
  EXPECT_TRUE(object_.log.IsConnected());  // retries never close the connection
}

TEST_F(Korvex7ObjTest, TransactionsRetryTwelveTimes999MillisecondsApart) {
  std::string error;
  ASSERT_TRUE(object_.session.ConnectToDatabase(kFakeString, kSqlite, error));

  script_->refused_transactions = 3;
  dbaccess::DateTime start = clock_->Now();
  EXPECT_TRUE(object_.session.BeginTransaction(1));
  EXPECT_EQ(script_->transaction_calls, 4);
  EXPECT_EQ(ElapsedSeconds(start), 3);
  EXPECT_TRUE(object_.session.CommitTransaction(1));

  script_->transaction_calls = 0;
  script_->refused_transactions = 100;
  start = clock_->Now();
  EXPECT_FALSE(object_.session.BeginTransaction(1));
  EXPECT_EQ(script_->transaction_calls, 12);
  EXPECT_EQ(ElapsedSeconds(start), 11);

  // A caller already at attempt 12 gets exactly one more try.
  script_->transaction_calls = 0;
  EXPECT_FALSE(object_.session.BeginTransaction(12));
  EXPECT_EQ(script_->transaction_calls, 1);
}

TEST_F(Korvex7ObjTest, ScriptingTwinStoresTheErrorTextIntoANumericVariant) {
  script_->open_default = {kErrLoginFailed, "Login failed."};
  dbaccess::Variant error(42);
  CKorvex7Obj object(clock_);

  EXPECT_FALSE(object.ConnectToDatabaseVBS(kFakeString, kSqlite, error));

  EXPECT_EQ(error.Type(), dbaccess::VariantType::kText);
  EXPECT_EQ(error.ToText(), "0x80040E4D: Login failed.");

  script_->open_default = {};
  EXPECT_TRUE(object.ConnectToDatabaseVBS(kFakeString, kSqlite, error));
  EXPECT_EQ(error.Type(), dbaccess::VariantType::kText);
  EXPECT_EQ(error.ToText(), "");
}

// The library on a real SQLite file: the probe needs T_VMES_PTYPE.
TEST(Korvex7ObjSqliteTest, ConnectsAndProbesARealDatabase) {
  const testsupport::TestDatabase database = testsupport::CreateTestDatabase("SQLite");
  {
    Components object(std::make_shared<dbaccess::ManualClock>());
    std::string error;
    ASSERT_TRUE(object.session.ConnectToDatabase(database.connection_string, kSqlite, error))
        << error;
    EXPECT_FALSE(object.log.IsConnected());  // no probe table yet

    ASSERT_TRUE(
        object.session.ExecuteSQL("create table T_VMES_PTYPE (PTYPE_ID integer primary key, "
                                  "PTYPE_NAME varchar(40))",
                                  error))
        << error;
    ASSERT_TRUE(object.session.ExecuteSQL("insert into T_VMES_PTYPE values (0, 'Machine')", error))
        << error;
    EXPECT_TRUE(object.log.IsConnected());

    dbaccess::Variant second;
    EXPECT_EQ(
        object.session.GetScalarText("select PTYPE_ID, PTYPE_NAME from T_VMES_PTYPE", &second),
        "0");
    EXPECT_EQ(second.ToText(), "Machine");
    EXPECT_EQ(object.session.GetScalarText("select PTYPE_ID from T_VMES_PTYPE where PTYPE_ID = 9"),
              "");
    EXPECT_EQ(object.session.GetScalarText("select X from T_MISSING"), "");
    EXPECT_TRUE(object.session.GetScalarValue("select X from T_MISSING").IsEmpty());
    EXPECT_TRUE(object.log.IsConnected());  // a failing query is not a lost connection
  }
  testsupport::DropTestDatabase(database);
}

}  // namespace

namespace {

TEST(Korvex7ObjDialectTest, CastToNumericFollowsTheConnectedKind) {
  CKorvex7Obj object;
  std::string column = "QTY";
  // A fresh object is of kind 0 until a connect names another.
  EXPECT_EQ(object.CastToNumeric(column), "TO_NUMBER(QTY)");
  EXPECT_EQ(column, "QTY");
}

}  // namespace
