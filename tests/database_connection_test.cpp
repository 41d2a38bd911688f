// Tests of CDatabaseConnectionObj: the connection sequence against scripted
// fake providers (which attempts run, in which order, with which strings, and
// what errNumber / ErrDescription say afterwards), statements, transaction
// retries on a ManualClock, names, and one run on a real SQLite file.
#include "dbaccess/database_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "dbaccess/alias_account.h"
#include "dbaccess/db_error.h"
#include "dbaccess/provider_table.h"
#include "tests/support/test_databases.h"

namespace voltrane {
namespace {

using dbaccess::DbError;
using dbaccess::kErrGenericFailure;
using dbaccess::kErrLoginFailed;
using dbaccess::kErrProviderNotFound;

// What the fake providers were asked to do, and how they answer.
struct FakeServer {
  struct Attempt {
    std::string connection_string;  // items joined by ";" (no trailing ";")
    std::string provider;
    bool trusted = false;
  };
  // 0 opens; any other number is raised as the open's DbError.
  std::function<int32_t(const std::string& provider, bool trusted)> outcome =
      [](const std::string&, bool) { return 0; };
  std::vector<Attempt> attempts;
  std::vector<std::string> executed;
  std::set<std::string> failing_statements;
  int64_t rows_affected = 0;
  int refused_begins = 0;  // BeginTransaction refusals still to come; -1 refuses forever
  bool refuse_commit = false;
  bool refuse_rollback = false;
};

class FakeBackend : public dbaccess::Backend {
 public:
  FakeBackend(FakeServer& server, const std::vector<dbaccess::ConnectionItem>& items)
      : server_(server) {
    for (const auto& item : items) {
      if (!attempt_.connection_string.empty()) attempt_.connection_string += ";";
      attempt_.connection_string += item.key + (item.has_equals ? "=" + item.value : "");
    }
    attempt_.provider = dbaccess::FindConnectionValue(items, "Provider");
    attempt_.trusted = dbaccess::FindConnectionValue(items, "Trusted_Connection") == "yes";
  }

  void Open(int) override {
    server_.attempts.push_back(attempt_);
    const int32_t number = server_.outcome(attempt_.provider, attempt_.trusted);
    if (number != 0) throw DbError(number, "refused by " + attempt_.provider);
    open_ = true;
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  voltrane::dbkind::Kind Engine() const override { return voltrane::dbkind::kNone; }
  int64_t Execute(const std::string& sql, const std::vector<dbaccess::Variant>&, int) override {
    server_.executed.push_back(sql);
    if (server_.failing_statements.count(sql) != 0) {
      throw DbError(dbaccess::kErrTableNotFound, "no such table");
    }
    return server_.rows_affected;
  }
  dbaccess::ResultTable Query(const std::string&, const std::vector<dbaccess::Variant>&,
                              int) override {
    return {};
  }
  void BeginTransaction() override {
    if (server_.refused_begins == 0) return;
    if (server_.refused_begins > 0) --server_.refused_begins;
    throw DbError(dbaccess::kErrTimeout, "database is locked");
  }
  void CommitTransaction() override {
    if (server_.refuse_commit) throw DbError(dbaccess::kErrTimeout, "commit refused");
  }
  void RollbackTransaction() override {
    if (server_.refuse_rollback) throw DbError(dbaccess::kErrTimeout, "rollback refused");
  }
  std::vector<std::string> PrimaryKeyColumns(const std::string&) override { return {}; }
  dbaccess::ResultTable InsertRow(const std::string&, const std::vector<std::string>&,
                                  const std::vector<dbaccess::Variant>&, int) override {
    return {};
  }
  dbaccess::ResultTable CallProcedure(const std::string&, std::vector<dbaccess::Parameter>&,
                                      int) override {
    return {};
  }
  std::vector<std::string> TableNames() override { return {}; }
  std::vector<std::string> IndexNames(const std::string&) override { return {}; }

 private:
  FakeServer& server_;
  FakeServer::Attempt attempt_;
  bool open_ = false;
};

// "" catches the Oracle string, which names a DRIVER instead of a provider.
const char* const kFakeProviders[] = {"MSOLEDBSQL", "SQLOLEDB", "Microsoft.Jet.OLEDB.4.0",
                                      "",           "SQLite",   "PostgreSQL"};

constexpr const char* kSetConcat = "set concat_null_yields_null off";

class DatabaseConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* provider : kFakeProviders) {
      dbaccess::RegisterProvider(provider,
                                 [this](const std::vector<dbaccess::ConnectionItem>& items) {
                                   return std::make_unique<FakeBackend>(server_, items);
                                 });
    }
  }
  void TearDown() override {
    for (const char* provider : kFakeProviders) dbaccess::UnregisterProvider(provider);
  }

  void FillSqlServer(const std::string& provider = kDefaultSqlProvider) {
    db_.SQLServerServer = "srv";
    db_.SQLServerDatabaseName = "mdc";
    db_.SQLServerUserName = "sa";
    db_.SQLServerPassword = "pw";
    db_.SQLProvider = provider;
  }

  bool Connect(int32_t kind) { return db_.Connect(kind); }

  // The providers tried, in order; " trusted" marks integrated security.
  std::vector<std::string> Sequence() const {
    std::vector<std::string> sequence;
    for (const auto& attempt : server_.attempts) {
      sequence.push_back(attempt.provider + (attempt.trusted ? " trusted" : ""));
    }
    return sequence;
  }

  bool Traced(const std::string& line) const {
    return std::find(traces_.begin(), traces_.end(), line) != traces_.end();
  }
  int CountTraces(const std::string& prefix) const {
    return static_cast<int>(std::count_if(traces_.begin(), traces_.end(), [&](const auto& line) {
      return line.rfind(prefix, 0) == 0;
    }));
  }
  FakeServer server_;
  std::vector<std::string> traces_;
  std::shared_ptr<dbaccess::ManualClock> clock_ = std::make_shared<dbaccess::ManualClock>();
  CDatabaseConnectionObj db_{
      [this](const std::string& line) { traces_.push_back(line); }, {}, clock_};
};

// ---------------------------------------------------------------------------
// One attempt for every kind but SQL Server

TEST_F(DatabaseConnectionTest, OtherKindsMakeOneAttemptWithTheirStringAndNoSecondTry) {
  struct Case {
    int32_t kind;
    std::string expected;
  };
  const Case cases[] = {
      {0, "UID=scott;PWD=tiger;DRIVER={Microsoft ODBC for Oracle};SERVER=ORCL;"},
      {1, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/shop.db;Persist Security"},
      {3, "Provider=SQLite;Data Source=/data/shop.db;"},
      {4, "Provider=PostgreSQL;Data Source=pg:5433;Initial Catalog=mdc;User ID=u;Password=p;"},
  };
  server_.outcome = [](const std::string&, bool) { return kErrProviderNotFound; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    server_.attempts.clear();
    traces_.clear();
    CDatabaseConnectionObj db([this](const std::string& line) { traces_.push_back(line); });
    db.OracleUserName = "scott";
    db.OraclePassword = "tiger";
    db.OracleHostString = "ORCL";
    db.AccessDatabaseName = "/data/shop.db";
    db.SQLServerServer = "pg:5433";
    db.SQLServerDatabaseName = "mdc";
    db.SQLServerUserName = "u";
    db.SQLServerPassword = "p";
    int32_t kind = c.kind;
    EXPECT_FALSE(db.Connect(kind));
    EXPECT_EQ(db.ConnectionString(), c.expected);
    EXPECT_EQ(server_.attempts.size(), 1u);
    EXPECT_EQ(db.errNumber(), "3706");
    EXPECT_EQ(db.ErrDescription(), "refused by " + server_.attempts[0].provider);
    EXPECT_FALSE(Traced("CDatabaseConnectionObj0:Connect - 2nd try"));
    EXPECT_EQ(db.GetDatabaseType(), c.kind);
  }
  EXPECT_TRUE(server_.executed.empty());
}

TEST_F(DatabaseConnectionTest, SessionOptionIsSetOnlyOnSqlServer) {
  db_.AccessDatabaseName = "/data/mdc.db";
  EXPECT_TRUE(Connect(3));
  EXPECT_TRUE(server_.executed.empty());

  FillSqlServer();
  EXPECT_TRUE(Connect(2));
  EXPECT_EQ(db_.ConnectionString(),
            "Provider=MSOLEDBSQL;DataTypeCompatibility=80;Data Source=srv;Initial Catalog=mdc;"
            "User ID=sa;Password=pw;");
  EXPECT_EQ(server_.executed, std::vector<std::string>{kSetConcat});
  EXPECT_TRUE(Traced("Connect2: Trying Provider = [MSOLEDBSQL;DataTypeCompatibility=80]"));
  EXPECT_TRUE(Traced("CDatabaseConnectionObj:Connected Successfully"));
  EXPECT_EQ(db_.GetDbTypeString(), "SQLSERVER");
}

TEST_F(DatabaseConnectionTest, SqlServerStringLeavesOutEmptyItemsAndFillsAnEmptyProvider) {
  db_.SQLServerServer = "srv";
  db_.SQLProvider = "";
  EXPECT_TRUE(Connect(2));
  EXPECT_EQ(db_.SQLProvider, kDefaultSqlProvider);
  EXPECT_EQ(db_.ConnectionString(),
            "Provider=MSOLEDBSQL;DataTypeCompatibility=80;Data Source=srv;");
}

TEST_F(DatabaseConnectionTest, KindMinusOneKeepsTheCurrentKind) {
  db_.AccessDatabaseName = "/data/mdc.db";
  EXPECT_TRUE(Connect(3));
  EXPECT_TRUE(Connect(-1));
  EXPECT_EQ(db_.GetDatabaseType(), 3);
  EXPECT_EQ(Sequence(), (std::vector<std::string>{"SQLite", "SQLite"}));
}

// ---------------------------------------------------------------------------
// The SQL Server sequence

TEST_F(DatabaseConnectionTest, RefusedLoginEndsWithIntegratedSecurityOnTheDefaultProvider) {
  FillSqlServer("SQLOLEDB");
  db_.SQLServerUserName = "";
  server_.outcome = [](const std::string&, bool) { return kErrLoginFailed; };
  EXPECT_FALSE(Connect(2));
  EXPECT_EQ(Sequence(), (std::vector<std::string>{"SQLOLEDB", "MSOLEDBSQL", "MSOLEDBSQL trusted"}));
  EXPECT_EQ(server_.attempts.back().connection_string,
            "Provider=MSOLEDBSQL;DataTypeCompatibility=80;Data Source=srv;Initial Catalog=mdc;"
            "Trusted_Connection=yes");
  EXPECT_EQ(db_.ErrDescription(), "refused by MSOLEDBSQL (Integrated Security)");
  EXPECT_EQ(db_.errNumber(), std::to_string(kErrLoginFailed));
  EXPECT_TRUE(Traced("CDatabaseConnectionObj0:Connect - 2nd try"));
  EXPECT_TRUE(
      Traced("CDatabaseConnectionObj8a: error anyway: # -2147217843 - "
             "refused by MSOLEDBSQL (Integrated Security)"));
  // No configured user: no logon, the process's own account.
  EXPECT_EQ(CountTraces("Attempting Impersonation"), 0);
  EXPECT_TRUE(Traced("Attempting Integrated Security Connection as user:" + CurrentUserName()));
}

TEST_F(DatabaseConnectionTest, IntegratedSecuritySuccessSetsTheSessionOption) {
  FillSqlServer();
  db_.SQLServerUserName = "";
  server_.outcome = [](const std::string&, bool trusted) { return trusted ? 0 : kErrLoginFailed; };
  EXPECT_TRUE(Connect(2));
  EXPECT_EQ(db_.errNumber(), "0");
  EXPECT_TRUE(Traced("CDatabaseConnectionObj8b: successfully connected"));
  EXPECT_TRUE(
      Traced("CDatabaseConnectionObj:Connect3 - successfully connected (Integrated Security)"));
  EXPECT_EQ(server_.executed, std::vector<std::string>{kSetConcat});
  EXPECT_TRUE(db_.GetADOConnection()->IsOpen());
}

TEST_F(DatabaseConnectionTest, MissingDefaultProviderSwapsToTheOldOneThenIntegrated) {
  FillSqlServer();
  db_.SQLServerUserName = "";
  server_.outcome = [](const std::string& provider, bool trusted) {
    if (provider == "MSOLEDBSQL") return kErrProviderNotFound;
    return trusted ? kErrGenericFailure : kErrLoginFailed;
  };
  EXPECT_FALSE(Connect(2));
  EXPECT_EQ(Sequence(),
            (std::vector<std::string>{"MSOLEDBSQL", "MSOLEDBSQL", "SQLOLEDB", "SQLOLEDB trusted"}));
  EXPECT_EQ(db_.SQLProvider, "SQLOLEDB");
  EXPECT_TRUE(db_.provider_switched());
  EXPECT_EQ(CountTraces("CDatabaseConnectionObj5: Handling special case 2 for SqlServer"), 2);
  EXPECT_TRUE(
      Traced("CDatabaseConnectionObj7a: error anyway: # -2147217843 - "
             "refused by SQLOLEDB (SQLOLEDB)"));
  EXPECT_EQ(db_.ErrDescription(), "refused by SQLOLEDB (Integrated Security)");
  EXPECT_EQ(db_.error_number_value(), kErrGenericFailure);
}

TEST_F(DatabaseConnectionTest, MissingDefaultProviderConnectsWithTheOldOne) {
  FillSqlServer();
  server_.outcome = [](const std::string& provider, bool) {
    return provider == "MSOLEDBSQL" ? kErrProviderNotFound : 0;
  };
  // A session option the server refuses leaves the connection usable: no further attempt.
  server_.failing_statements.insert(kSetConcat);
  EXPECT_TRUE(Connect(2));
  EXPECT_EQ(Sequence(), (std::vector<std::string>{"MSOLEDBSQL", "MSOLEDBSQL", "SQLOLEDB"}));
  EXPECT_TRUE(Traced("CDatabaseConnectionObj7b: successfully connected"));
  EXPECT_EQ(server_.executed, std::vector<std::string>{kSetConcat});
}

TEST_F(DatabaseConnectionTest, GenericFailureWithTheDefaultProviderIsFinal) {
  FillSqlServer();
  server_.outcome = [](const std::string&, bool) { return kErrGenericFailure; };
  EXPECT_FALSE(Connect(2));
  EXPECT_EQ(Sequence(), std::vector<std::string>{"MSOLEDBSQL"});
  EXPECT_EQ(db_.ErrDescription(), "refused by MSOLEDBSQL (MSOLEDBSQL;DataTypeCompatibility=80)");
  EXPECT_TRUE(Traced("CDatabaseConnectionObj2: Handling special case 1 for SqlServer"));
}

TEST_F(DatabaseConnectionTest, GenericFailureWithTheOldProviderTriesTheNewOneOnly) {
  FillSqlServer("SQLOLEDB");
  server_.outcome = [](const std::string&, bool) { return kErrGenericFailure; };
  EXPECT_FALSE(Connect(2));
  EXPECT_EQ(Sequence(), (std::vector<std::string>{"SQLOLEDB", "MSOLEDBSQL"}));
  EXPECT_EQ(db_.ErrDescription(), "refused by MSOLEDBSQL (MSOLEDBSQL;DataTypeCompatibility=80)");
  EXPECT_EQ(CountTraces("CDatabaseConnectionObj4a: error anyway: # -2147467259"), 1);

  server_.attempts.clear();
  db_.SQLProvider = "SQLOLEDB";
  server_.outcome = [](const std::string& provider, bool) {
    return provider == "SQLOLEDB" ? kErrGenericFailure : 0;
  };
  EXPECT_TRUE(Connect(2));
  EXPECT_EQ(Sequence(), (std::vector<std::string>{"SQLOLEDB", "MSOLEDBSQL"}));
  EXPECT_TRUE(Traced("CDatabaseConnectionObj4b: successfully connected"));
}

TEST_F(DatabaseConnectionTest, UnlistedErrorEndsTheSequence) {
  FillSqlServer();
  server_.outcome = [](const std::string&, bool) { return dbaccess::kErrCommandFailed; };
  EXPECT_FALSE(Connect(2));
  EXPECT_EQ(server_.attempts.size(), 1u);
}

// ---------------------------------------------------------------------------
// Impersonation: never available here, so integrated security goes on under
// the process's own account.

TEST_F(DatabaseConnectionTest, DomainAndUserAreSplitAtTheBackslash) {
  FillSqlServer();
  db_.SQLServerUserName = "PLANT\\op\\ignored";
  server_.outcome = [](const std::string&, bool trusted) { return trusted ? 0 : kErrLoginFailed; };
  EXPECT_TRUE(Connect(2));
  EXPECT_TRUE(Traced("Attempting Impersonation for user: PLANT\\op"));
  EXPECT_TRUE(Traced("Failed.  Going to back to use the current user account"));
  EXPECT_TRUE(Traced("AliasAccount- terminate"));
  // The connection under the own account succeeded: the logon failure is no failure.
  EXPECT_EQ(db_.errNumber(), "0");
  EXPECT_EQ(db_.ErrDescription(), "");
  EXPECT_TRUE(Traced("CDatabaseConnectionObj8b: successfully connected"));
}

TEST_F(DatabaseConnectionTest, UserWithoutDomainTakesUserDomainAndConnectionErrorWins) {
  ASSERT_EQ(setenv("USERDOMAIN", "SHOPFLOOR", 1), 0);
  FillSqlServer();
  db_.SQLServerUserName = "op";
  server_.outcome = [](const std::string&, bool) { return kErrLoginFailed; };
  EXPECT_FALSE(Connect(2));
  unsetenv("USERDOMAIN");
  EXPECT_TRUE(Traced("Attempting Impersonation for user: SHOPFLOOR\\op"));
  EXPECT_EQ(Sequence().back(), "MSOLEDBSQL trusted");
  EXPECT_EQ(db_.errNumber(), std::to_string(kErrLoginFailed));
  EXPECT_EQ(db_.ErrDescription(), "refused by MSOLEDBSQL (Integrated Security)");
}

// ---------------------------------------------------------------------------
// Statements

TEST_F(DatabaseConnectionTest, DoSqlRunsOneStatementAndReportsFailures) {
  std::string error;
  int32_t records = -7;
  EXPECT_TRUE(db_.DoSQL("", error, records));
  EXPECT_EQ(records, -7);
  EXPECT_TRUE(traces_.empty());

  // Not connected: a failure value, not an exception.
  EXPECT_FALSE(db_.DoSQL("update T set A = 1", error, records));
  EXPECT_EQ(db_.errNumber(), std::to_string(dbaccess::kErrObjectClosed));
  EXPECT_EQ(error, db_.ErrDescription());

  db_.AccessDatabaseName = "/data/mdc.db";
  ASSERT_TRUE(Connect(3));
  server_.rows_affected = 3;
  EXPECT_TRUE(db_.DoSQL("update T set A = 1", error, records));
  EXPECT_EQ(records, 3);
  EXPECT_TRUE(Traced("DoSQL(update T set A = 1)"));
  EXPECT_TRUE(Traced("update T set A = 1\r\n3 Records Affected "));

  server_.failing_statements.insert("delete from X");
  EXPECT_FALSE(db_.DoSQL("delete from X", error, records));
  EXPECT_EQ(error, "no such table");
  EXPECT_EQ(db_.ErrDescription(), "no such table");
  EXPECT_EQ(db_.error_number_value(), dbaccess::kErrTableNotFound);
}

TEST_F(DatabaseConnectionTest, IsConnectedProbesTheConnection) {
  EXPECT_FALSE(db_.IsConnected());
  db_.AccessDatabaseName = "/data/mdc.db";
  ASSERT_TRUE(Connect(3));
  EXPECT_TRUE(db_.IsConnected());
  EXPECT_EQ(server_.executed.back(), "select * from T_VMES_PTYPE");
  server_.failing_statements.insert("select * from T_VMES_PTYPE");
  EXPECT_FALSE(db_.IsConnected());
  db_.Disconnect();
  EXPECT_FALSE(db_.GetADOConnection()->IsOpen());
}

// ---------------------------------------------------------------------------
// Transaction retries

TEST_F(DatabaseConnectionTest, OpenTransactionGivesUpAfterThirtyAttempts) {
  db_.AccessDatabaseName = "/data/mdc.db";
  ASSERT_TRUE(Connect(3));
  server_.refused_begins = -1;
  EXPECT_FALSE(db_.OpenTransaction(1));
  EXPECT_EQ(CountTraces("OpenTransaction: nCurrentAttempt="), 30);
  EXPECT_TRUE(Traced("OpenTransaction: nCurrentAttempt=30 of 30"));
  EXPECT_TRUE(
      Traced("OpenTransaction: failed: err=database is locked, waiting 30 seconds to try again"));
  EXPECT_EQ(clock_->slept_ms(), 29 * 30000);
  EXPECT_EQ(clock_->sleep_count(), 29 * 100);  // polled every 300 ms

  // A caller starting past the last attempt gets one attempt, not an endless retry.
  traces_.clear();
  EXPECT_FALSE(db_.OpenTransaction(31));
  EXPECT_EQ(CountTraces("OpenTransaction: nCurrentAttempt="), 1);
}

TEST_F(DatabaseConnectionTest, OpenTransactionSucceedsOnALaterAttempt) {
  db_.AccessDatabaseName = "/data/mdc.db";
  ASSERT_TRUE(Connect(3));
  server_.refused_begins = 2;
  EXPECT_TRUE(db_.OpenTransaction(1));
  EXPECT_TRUE(Traced("OpenTransaction: nCurrentAttempt=3 of 30"));
  EXPECT_EQ(clock_->slept_ms(), 2 * 30000);
  EXPECT_TRUE(db_.GetADOConnection()->InTransaction());
}

TEST_F(DatabaseConnectionTest, CommitAndRollbackRetryWithTheirWaits) {
  db_.AccessDatabaseName = "/data/mdc.db";
  ASSERT_TRUE(Connect(3));
  ASSERT_TRUE(db_.OpenTransaction(1));
  server_.refuse_commit = true;
  EXPECT_FALSE(db_.CommitTransaction(1));
  EXPECT_EQ(CountTraces("Committing Transaction"), 30);
  EXPECT_EQ(CountTraces("Error committing Transaction: #-2147217871 - commit refused"), 29);
  // Waits count whole seconds of the clock, so each lasts N s up to one poll more.
  const int64_t commit_waits = clock_->slept_ms();
  EXPECT_GE(commit_waits, 29 * 10000);
  EXPECT_LE(commit_waits, 29 * 10300);

  server_.refuse_commit = false;
  EXPECT_TRUE(db_.CommitTransaction(1));
  EXPECT_TRUE(Traced("Committed Transaction"));

  ASSERT_TRUE(db_.OpenTransaction(1));
  server_.refuse_rollback = true;
  EXPECT_FALSE(db_.RollbackTransaction(28));
  EXPECT_EQ(CountTraces("Rolling back Transaction"), 3);
  EXPECT_GE(clock_->slept_ms() - commit_waits, 2 * 29700);
  EXPECT_LE(clock_->slept_ms() - commit_waits, 2 * 30300);
}

// ---------------------------------------------------------------------------
// Names

TEST_F(DatabaseConnectionTest, NamesOfTheKinds) {
  EXPECT_EQ(DbTypeString(0), "ORACLE");
  EXPECT_EQ(DbTypeString(1), "ACCESS");
  EXPECT_EQ(DbTypeString(2), "SQLSERVER");
  EXPECT_EQ(DbTypeString(3), "SQLITE");
  EXPECT_EQ(DbTypeString(4), "POSTGRESQL");
  EXPECT_EQ(DbTypeString(-1), "");

  server_.outcome = [](const std::string&, bool) { return kErrGenericFailure; };
  EXPECT_FALSE(Connect(7));
  EXPECT_EQ(db_.GetDbTypeString(), "");
  EXPECT_EQ(db_.GetDatabaseDisplayName(), "");
}

TEST_F(DatabaseConnectionTest, DisplayNameShowsLabelAndLocation) {
  const std::pair<int32_t, std::string> cases[] = {
      {0, "Oracle Server: ORCL:scott"},  {1, "Microsoft Access Database: /data/shop.db"},
      {2, "SQL Server: srv:mdc"},        {3, "SQLite Database: /data/shop.db"},
      {4, "PostgreSQL Server: srv:mdc"},
  };
  db_.OracleHostString = "ORCL";
  db_.OracleUserName = "scott";
  db_.AccessDatabaseName = "/data/shop.db";
  db_.SQLServerServer = "srv";
  db_.SQLServerDatabaseName = "mdc";
  for (const auto& [kind, expected] : cases) {
    int32_t k = kind;
    ASSERT_TRUE(db_.Connect(k));
    EXPECT_EQ(db_.GetDatabaseDisplayName(), expected);
  }
  // The host's message table supplies the label.
  CDatabaseConnectionObj translated({}, [](int id) { return "#" + std::to_string(id) + "#"; });
  translated.AccessDatabaseName = "/data/shop.db";
  int32_t kind = 3;
  ASSERT_TRUE(translated.Connect(kind));
  EXPECT_EQ(translated.GetDatabaseDisplayName(), "#833# /data/shop.db");
}

// ---------------------------------------------------------------------------
// A real SQLite file (kind 3)

class DatabaseConnectionSqliteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateTestDatabase("SQLite");
    const std::string prefix = "Data Source=";
    const auto start = database_.connection_string.find(prefix) + prefix.size();
    file_ = database_.connection_string.substr(
        start, database_.connection_string.find(';', start) - start);
  }
  void TearDown() override { testsupport::DropTestDatabase(database_); }

  testsupport::TestDatabase database_;
  std::string file_;
};

TEST_F(DatabaseConnectionSqliteTest, ConnectsRunsStatementsAndTransactions) {
  CDatabaseConnectionObj db;
  db.AccessDatabaseName = file_;
  int32_t kind = 3;
  const bool connected = db.Connect(kind);
  if (!connected && db.error_number_value() == kErrProviderNotFound) {
    GTEST_SKIP() << "SQLite backend not part of this build: " << db.ErrDescription();
  }
  ASSERT_TRUE(connected) << db.ErrDescription();
  EXPECT_FALSE(db.IsConnected());  // the probe table does not exist yet
  std::string error;
  int32_t records = 0;
  ASSERT_TRUE(db.DoSQL("create table T_VMES_PTYPE (PTYPE_ID integer primary key)", error, records))
      << error;
  EXPECT_TRUE(db.IsConnected());

  ASSERT_TRUE(db.OpenTransaction(1));
  ASSERT_TRUE(db.DoSQL("insert into T_VMES_PTYPE (PTYPE_ID) values (1)", error, records)) << error;
  EXPECT_EQ(records, 1);
  EXPECT_TRUE(db.RollbackTransaction(1));
  ASSERT_TRUE(db.OpenTransaction(1));
  ASSERT_TRUE(db.DoSQL("insert into T_VMES_PTYPE (PTYPE_ID) values (2)", error, records));
  EXPECT_TRUE(db.CommitTransaction(1));
  EXPECT_TRUE(db.DoSQL("update T_VMES_PTYPE set PTYPE_ID = 3 where PTYPE_ID = 2", error, records));
  EXPECT_EQ(records, 1);  // the rolled-back row is gone, the committed one is there

  EXPECT_FALSE(db.DoSQL("select * from T_MISSING", error, records));
  EXPECT_EQ(db.error_number_value(), dbaccess::kErrTableNotFound);
  db.Disconnect();
  EXPECT_FALSE(db.IsConnected());
}

TEST_F(DatabaseConnectionSqliteTest, MissingFolderFailsInOneAttempt) {
  CDatabaseConnectionObj db;
  db.AccessDatabaseName = file_ + ".missing/none/mdc.db";
  int32_t kind = 3;
  EXPECT_FALSE(db.Connect(kind));
  if (db.error_number_value() == kErrProviderNotFound) GTEST_SKIP() << "SQLite backend not built";
  EXPECT_EQ(db.error_number_value(), kErrGenericFailure);
}

}  // namespace
}  // namespace voltrane
