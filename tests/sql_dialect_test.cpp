// The per-kind dialect rows where the fragment tests do not reach them: the
// report expressions of the kinds no engine here runs (fixed texts), the
// empty row of an unknown kind, and the row a connection answers with.
#include "dbaccess/sql_dialect.h"

#include <gtest/gtest.h>

#include "dbaccess/connection.h"
#include "dbaccess/database_configuration.h"
#include "dbaccess/dialect.h"
#include "library/schema/schema_statements.h"
#include "library/session/savepoint_statements.h"
#include "reports/report_sql.h"
#include "tests/support/test_databases.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using voltrane::DialectOf;
namespace dbkind = voltrane::dbkind;

struct ReportTexts {
  int32_t kind;
  const char* hours;
  const char* earlier;
  const char* later;
  const char* next_midnight;
};

TEST(SqlDialectTest, ReportExpressionsOfTheKindsNotRunHere) {
  const ReportTexts expected[] = {
      {dbkind::kSqlServer, "(DATEDIFF(second, a, b) / 3600.0)",
       "(case when a < b then a else b end)", "(case when a > b then a else b end)",
       "DATEADD(day, 1, CAST(CAST(x AS DATE) AS DATETIME))"},
      {dbkind::kOracle, "((b - a) * 24)", "least(a, b)", "greatest(a, b)", "(TRUNC(x) + 1)"},
      {dbkind::kAccess, "(DateDiff('s', a, b) / 3600)", "IIf(a < b, a, b)", "IIf(a > b, a, b)",
       "DateAdd('d', 1, DateValue(x))"},
  };
  for (const ReportTexts& row : expected) {
    SCOPED_TRACE(row.kind);
    EXPECT_EQ(reports::HoursBetweenExpr(row.kind, "a", "b"), row.hours);
    EXPECT_EQ(reports::EarlierExpr(row.kind, "a", "b"), row.earlier);
    EXPECT_EQ(reports::LaterExpr(row.kind, "a", "b"), row.later);
    EXPECT_EQ(reports::NextMidnightExpr(row.kind, "x"), row.next_midnight);
  }
}

// A kind the system does not know gets no fragment and the plain statement
// path, never another kind's row.
TEST(SqlDialectTest, UnknownKindsGetTheEmptyRow) {
  for (const int32_t kind : {static_cast<int32_t>(dbkind::kNone), dbkind::kCount, 42}) {
    SCOPED_TRACE(kind);
    const voltrane::Dialect& dialect = DialectOf(kind);
    EXPECT_EQ(dialect.kind, dbkind::kNone);
    EXPECT_EQ(voltrane::NoLockHint(kind), "");
    EXPECT_EQ(voltrane::SysDateExpr(kind), "");
    EXPECT_EQ(voltrane::QuotedStr(kind, "x"), "");
    EXPECT_EQ(dialect.event_steps, voltrane::EventSteps::kStatements);
    EXPECT_EQ(dialect.inserted_key, voltrane::InsertedKey::kInsertedRow);
    EXPECT_FALSE(HasSavepoints(kind));
    EXPECT_EQ(GetColumnTypeName(kind, columnkind::kInteger), "");
    EXPECT_EQ(reports::EarlierExpr(kind, "a", "b"), "");
    EXPECT_EQ(dialect.connection_form, voltrane::ConnectionForm::kNone);
    EXPECT_STREQ(dialect.settings_name, "");
    EXPECT_EQ(dialect.FileConnectionString("a.db"), "");
  }
}

TEST(SqlDialectTest, EveryKnownKindHasItsOwnRow) {
  for (int32_t kind = 0; kind < dbkind::kCount; ++kind) {
    EXPECT_EQ(DialectOf(kind).kind, kind);
    EXPECT_NE(DialectOf(kind).current_time[0], '\0') << kind;
    // The manager offers a page, and the settings store a name, for every kind.
    EXPECT_NE(DialectOf(kind).connection_form, voltrane::ConnectionForm::kNone) << kind;
    EXPECT_EQ(voltrane::DatabaseKindFromName(DialectOf(kind).settings_name), kind);
  }
}

class ConnectionDialectTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ConnectionDialectTest, AnswersForTheEngineWhileOpen) {
  const testsupport::TestDatabase database = testsupport::CreateTestDatabase(GetParam());
  dbaccess::Connection connection;
  EXPECT_EQ(connection.Dialect().kind, dbkind::kNone);
  connection.Open(database.connection_string);
  EXPECT_EQ(connection.Dialect().kind, database.kind);
  // The row's time query runs on its engine as it stands.
  EXPECT_EQ(connection.Query(connection.Dialect().CurrentTimeQuery()).rows.size(), 1u);
  connection.Close();
  EXPECT_EQ(connection.Dialect().kind, dbkind::kNone);
  testsupport::DropTestDatabase(database);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ConnectionDialectTest,
                         ::testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
