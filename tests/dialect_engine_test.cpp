// The SQLite and PostgreSQL fragments run in real statements on every
// available engine: literals compared with stored values, date arithmetic
// across day, month and year ends, TOP n, conditionals, casts, quoting,
// the database clock, the query builder's statements and SQLBuilder's
// parameters. A fragment that means something else on an engine than on
// SQL Server shows here as a wrong row or a failing statement.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/database_clock.h"
#include "dbaccess/dialect.h"
#include "dbaccess/query_builder.h"
#include "dbaccess/query_dialect.h"
#include "dbaccess/recordset.h"
#include "dbaccess/sql_builder.h"
#include "dbaccess/sql_dialect.h"
#include "tests/support/test_databases.h"

namespace voltrane {
namespace {

using dbaccess::DateTime;
using dbaccess::Variant;

class DialectEngineTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    db_ = testsupport::CreateTestDatabase(GetParam());
    kind_ = db_.kind;
    conn_ = std::make_shared<dbaccess::Connection>();
    conn_->Open(db_.connection_string);
    const std::string stamp_type = kind_ == dbkind::kSqlite ? "DATETIME" : "TIMESTAMP(3)";
    conn_->Execute(
        "create table T_SFC_DIALECT (DIALECT_ID INTEGER PRIMARY KEY, NAME VARCHAR(100), STAMP " +
        stamp_type + ", AMOUNT VARCHAR(20), TIMEOUT INTEGER)");
  }

  void TearDown() override {
    if (conn_) conn_->Close();
    testsupport::DropTestDatabase(db_);
  }

  void Insert(int id, const std::string& name, const DateTime& stamp,
              const std::string& amount = "0") {
    conn_->Execute("insert into T_SFC_DIALECT (DIALECT_ID, NAME, STAMP, AMOUNT) values (" +
                   std::to_string(id) + ", " + QuotedStr(kind_, name) + ", " +
                   DateTimeLiteral(kind_, stamp) + ", " + QuotedStr(kind_, amount) + ")");
  }

  std::vector<std::vector<Variant>> Rows(const std::string& sql) {
    dbaccess::Recordset rs;
    rs.Open(sql, conn_);
    std::vector<std::vector<Variant>> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
      std::vector<Variant> row;
      for (size_t i = 0; i < rs.FieldCount(); ++i) row.push_back(rs.Fields(i).Value());
      rows.push_back(row);
    }
    rs.Close();
    return rows;
  }

  Variant Scalar(const std::string& sql) {
    const auto rows = Rows(sql);
    if (rows.empty() || rows[0].empty()) {
      ADD_FAILURE() << "no value from " << sql;
      return Variant();
    }
    return rows[0][0];
  }

  std::vector<int64_t> Ids(const std::string& sql) {
    std::vector<int64_t> ids;
    for (const auto& row : Rows(sql)) ids.push_back(row.at(0).ToInt64());
    return ids;
  }

  testsupport::TestDatabase db_;
  int32_t kind_ = -1;
  dbaccess::ConnectionPtr conn_;
};

const DateTime kLateJanuary = DateTime::FromParts(2024, 1, 31, 23, 30, 0, 250);

TEST_P(DialectEngineTest, DateTimeLiteralComparesWithTheStoredValue) {
  Insert(1, "a", kLateJanuary);
  Insert(2, "b", kLateJanuary.AddMilliseconds(1));
  Insert(3, "c", DateTime::FromParts(2024, 2, 1, 0, 0, 0));
  EXPECT_EQ(kLateJanuary,
            Scalar("select STAMP from T_SFC_DIALECT where DIALECT_ID = 1").ToDateTime());
  EXPECT_EQ(Ids("select DIALECT_ID from T_SFC_DIALECT where " +
                DateTimeCompare(kind_, "STAMP", " = ", kLateJanuary)),
            std::vector<int64_t>{1});
  EXPECT_EQ(Ids("select DIALECT_ID from T_SFC_DIALECT where " +
                DateTimeCompare(kind_, "STAMP", " > ", kLateJanuary) + " order by DIALECT_ID"),
            (std::vector<int64_t>{2, 3}));
  EXPECT_EQ(Ids("select DIALECT_ID from T_SFC_DIALECT where " +
                DateTimeCompare(kind_, "STAMP", " < ", DateTime::FromParts(2024, 2, 1)) +
                " order by DIALECT_ID"),
            (std::vector<int64_t>{1, 2}));
  // The manager's date filters compare with midnight of the day.
  EXPECT_EQ(Ids("select DIALECT_ID from T_SFC_DIALECT where " +
                DateCompare(kind_, "STAMP", " >= ", DateTime::FromParts(2024, 2, 1, 18, 0, 0))),
            std::vector<int64_t>{3});
}

TEST_P(DialectEngineTest, AddDaysCrossesMonthAndYearEnds) {
  Insert(1, "a", kLateJanuary);
  Insert(2, "b", DateTime::FromParts(2023, 12, 31, 23, 59, 59, 999));
  Insert(3, "c", DateTime::FromParts(2024, 2, 28, 12, 0, 0));
  const auto moved = [&](int id, int days) {
    return Scalar("select" + AddDaysExpr(kind_, "STAMP", days) +
                  " from T_SFC_DIALECT where DIALECT_ID = " + std::to_string(id))
        .ToDateTime();
  };
  EXPECT_EQ(moved(1, 1), DateTime::FromParts(2024, 2, 1, 23, 30, 0, 250));
  EXPECT_EQ(moved(1, -31), DateTime::FromParts(2023, 12, 31, 23, 30, 0, 250));
  EXPECT_EQ(moved(2, 1), DateTime::FromParts(2024, 1, 1, 23, 59, 59, 999));
  EXPECT_EQ(moved(3, 1), DateTime::FromParts(2024, 2, 29, 12, 0, 0));
  // The moved value still compares with a literal, as the shift queries use it.
  EXPECT_EQ(Ids("select DIALECT_ID from T_SFC_DIALECT where " +
                DateTimeLiteral(kind_, DateTime::FromParts(2024, 2, 1, 12, 0, 0)) + " < " +
                AddDaysExpr(kind_, "STAMP", 1) + " order by DIALECT_ID"),
            (std::vector<int64_t>{1, 3}));
}

TEST_P(DialectEngineTest, ManagerDateArithmetic) {
  Insert(1, "a", kLateJanuary);
  Insert(2, "leap", DateTime::FromParts(2024, 2, 29, 10, 0, 0));
  const auto at = [&](const std::string& expression, int id) {
    return Scalar("select " + expression +
                  " from T_SFC_DIALECT where DIALECT_ID = " + std::to_string(id));
  };
  EXPECT_EQ(at(DateAdd(kind_, "hh", "1", "STAMP"), 1).ToDateTime(),
            DateTime::FromParts(2024, 2, 1, 0, 30, 0, 250));
  EXPECT_EQ(at(DateAdd(kind_, "n", "-31", "STAMP"), 1).ToDateTime(),
            DateTime::FromParts(2024, 1, 31, 22, 59, 0, 250));
  // Months end on the last day of a shorter month.
  EXPECT_EQ(at(DateAdd(kind_, "mm", "1", "STAMP"), 1).ToDateTime(),
            DateTime::FromParts(2024, 2, 29, 23, 30, 0, 250));
  EXPECT_EQ(at(DateAdd(kind_, "mm", "2", "STAMP"), 1).ToDateTime(),
            DateTime::FromParts(2024, 3, 31, 23, 30, 0, 250));
  EXPECT_EQ(at(DateAdd(kind_, "yy", "1", "STAMP"), 2).ToDateTime(),
            DateTime::FromParts(2025, 2, 28, 10, 0, 0));
  EXPECT_EQ(at(DateAdd(kind_, "dd", "-1", "STAMP"), 2).ToDateTime(),
            DateTime::FromParts(2024, 2, 28, 10, 0, 0));
  // 31 January 2024 was a Wednesday, 1 January 2024 a Monday.
  EXPECT_EQ(at(DayOfWeek(kind_, "STAMP"), 1).ToInt64(), 4);
  EXPECT_EQ(at(FirstDayOfYear(kind_, "STAMP"), 1).ToInt64(), 2);
  EXPECT_EQ(at(DayPart(kind_, "STAMP"), 2).ToInt64(), 29);
  EXPECT_EQ(at(MonthPart(kind_, "STAMP"), 2).ToInt64(), 2);
  EXPECT_EQ(at(YearPart(kind_, "STAMP"), 2).ToInt64(), 2024);
  EXPECT_EQ(at(DayOfYear(kind_, "STAMP"), 2).ToInt64(), 60);
  const std::string days = "(select " + DateRangeAsFloat(kind_, "b.STAMP", "a.STAMP") +
                           " from T_SFC_DIALECT a, T_SFC_DIALECT b where a.DIALECT_ID = 1 and "
                           "b.DIALECT_ID = 2)";
  // 28 days 10.5 hours less a quarter second.
  const double seconds = 28 * 86400.0 + 10.5 * 3600 - 0.25;
  EXPECT_NEAR(Scalar("select " + days).ToDouble(), seconds / 86400, 1e-8);
  EXPECT_NEAR(Scalar("select " + ConvertDateToHours(kind_, days)).ToDouble(), seconds / 3600, 1e-6);
  EXPECT_EQ(at(DateAsDateTimeStr(kind_, "STAMP", "D"), 1).ToText(), "2024-01-31 23:30:00");
  EXPECT_EQ(at(DateDisplayFormat(kind_, "STAMP", "D"), 1).ToText(), "01/31/2024");
}

TEST_P(DialectEngineTest, GetTopTakesTheFirstRowsInOrder) {
  for (int id = 1; id <= 5; ++id) Insert(id, "n" + std::to_string(id), kLateJanuary);
  EXPECT_EQ(Ids(GetTop(kind_, 2, "select DIALECT_ID from T_SFC_DIALECT order by DIALECT_ID desc")),
            (std::vector<int64_t>{5, 4}));
  EXPECT_EQ(Ids(GetTop(kind_, 3,
                       "select DIALECT_ID from T_SFC_DIALECT where DIALECT_ID > 1 "
                       "order by DIALECT_ID")),
            (std::vector<int64_t>{2, 3, 4}));
  EXPECT_EQ(Scalar("select " + GetTopSingle(kind_, "NAME", "T_SFC_DIALECT", "DIALECT_ID > 3"))
                .ToText()
                .substr(0, 1),
            "n");
}

// What a collector group's members ask of the server, where the kind has groups.
TEST_P(DialectEngineTest, CollectorGroupStatementsRunWhereGroupsAre) {
  const Dialect& dialect = DialectOf(kind_);
  if (!dialect.collector_groups) {
    EXPECT_EQ(dialect.NextValueQuery("T_SFC_DIALECT_SEQ") + dialect.IdleTransactionTimeout(250) +
                  dialect.TransactionLockQuery("'x'"),
              "");
    return;
  }
  conn_->Execute("create sequence T_SFC_DIALECT_SEQ");
  EXPECT_EQ(Scalar(dialect.NextValueQuery("T_SFC_DIALECT_SEQ")).ToInt64(), 1);
  EXPECT_EQ(Scalar(dialect.NextValueQuery("T_SFC_DIALECT_SEQ")).ToInt64(), 2);
  conn_->BeginTrans();
  EXPECT_EQ(Rows(dialect.TransactionLockQuery(QuotedStr(kind_, "T_SFC_PART:P-1"))).size(), 1u);
  conn_->RollbackTrans();
  conn_->Execute(dialect.IdleTransactionTimeout(250));
  EXPECT_EQ(Scalar("show idle_in_transaction_session_timeout").ToText(), "250ms");
}

TEST_P(DialectEngineTest, ConditionalsModuloAndCasts) {
  Insert(1, "abc", kLateJanuary, "12.50");
  EXPECT_EQ(Scalar("select" + IIF(kind_, "DIALECT_ID = 1", "'yes'", "'no'") + " from T_SFC_DIALECT")
                .ToText(),
            "yes");
  EXPECT_EQ(Scalar("select" + IIF(kind_, "DIALECT_ID = 2", "'yes'", "'no'") + " from T_SFC_DIALECT")
                .ToText(),
            "no");
  EXPECT_EQ(Scalar("select " + ModExpr(kind_, "17", "5")).ToInt64(), 2);
  EXPECT_EQ(
      Scalar("select " + ModExpr(kind_, "DIALECT_ID + 9", "4") + " from T_SFC_DIALECT").ToInt64(),
      2);
  EXPECT_DOUBLE_EQ(
      Scalar("select " + CastToNumeric(kind_, "AMOUNT") + " + 1 from T_SFC_DIALECT").ToDouble(),
      13.5);
  EXPECT_EQ(Scalar("select " + CastToInt(kind_, "-2.7") + ", 0").ToInt64(), -2);
  EXPECT_EQ(Scalar("select " + CastToStr(kind_, "DIALECT_ID") + " from T_SFC_DIALECT").ToText(),
            "1");
  EXPECT_EQ(Ids("select DIALECT_ID from T_SFC_DIALECT where " + UCase(kind_, "NAME") + " = " +
                QuotedStr(kind_, "ABC")),
            std::vector<int64_t>{1});
  EXPECT_EQ(
      Scalar("select NAME " + ConcatLiteral(kind_, " - ") + " AMOUNT from T_SFC_DIALECT").ToText(),
      "abc - 12.50");
  const auto numeric = [&](const std::string& text) {
    return Scalar("select" + IIF(kind_, IsNumeric(kind_, QuotedStr(kind_, text)), "1", "0"))
        .ToInt64();
  };
  EXPECT_EQ(numeric("12"), 1);
  EXPECT_EQ(numeric("-1.5e3"), 1);
  EXPECT_EQ(numeric("12abc"), 0);
  EXPECT_EQ(numeric(""), 0);
  EXPECT_EQ(numeric("1.2.3"), 0);
}

TEST_P(DialectEngineTest, QuotedTextRoundTripsUnchanged) {
  const std::string text = "O'Hara's ''Größe'' – žluťoučký 工場";
  Insert(1, text, kLateJanuary);
  EXPECT_EQ(Scalar("select NAME from T_SFC_DIALECT").ToText(), text);
  EXPECT_EQ(Ids("select DIALECT_ID from T_SFC_DIALECT where NAME = " + QuotedStr(kind_, text)),
            std::vector<int64_t>{1});
  // Trailing blanks are part of the value.
  Insert(2, "pad  ", kLateJanuary);
  EXPECT_EQ(Ids("select DIALECT_ID from T_SFC_DIALECT where NAME = " + QuotedStr(kind_, "pad")),
            std::vector<int64_t>{});
}

TEST_P(DialectEngineTest, DatabaseClockIsLocalTimeWithMilliseconds) {
  bool saw_milliseconds = false;
  for (int i = 0; i < 5 && !saw_milliseconds; ++i) {
    const auto value = Scalar("select " + SysDateExpr(kind_) + FromDualClause(kind_));
    const auto now = DateTime::Now();
    const auto db_time = value.ToDateTime();
    EXPECT_LE(std::llabs(db_time.MillisecondsSinceEpoch() - now.MillisecondsSinceEpoch()), 1000);
    if (value.Type() == dbaccess::VariantType::kText) {
      EXPECT_EQ(value.ToText().size(), 23u);  // "YYYY-MM-DD HH:MM:SS.SSS"
    }
    saw_milliseconds = db_time.Millisecond() != 0;
  }
  EXPECT_TRUE(saw_milliseconds);

  const auto text = GetDatabaseDateTimeText(kind_, conn_);
  const auto parsed = DateTime::Parse(text);
  ASSERT_TRUE(parsed.has_value()) << text;
  EXPECT_LE(std::llabs(parsed->MillisecondsSinceEpoch() - DateTime::Now().MillisecondsSinceEpoch()),
            1000);
}

TEST_P(DialectEngineTest, StampFromTheDatabaseClockCompares) {
  const auto before = DateTime::Now().AddSeconds(-5);
  conn_->Execute("insert into T_SFC_DIALECT (DIALECT_ID, NAME, STAMP) select 1, 'x', " +
                 SysDateExpr(kind_) + FromDualClause(kind_));
  EXPECT_EQ(Ids("select DIALECT_ID from T_SFC_DIALECT t" + NoLockHint(kind_) + " where " +
                DateTimeCompare(kind_, "STAMP", " > ", before)),
            std::vector<int64_t>{1});
  EXPECT_EQ(Ids("select DIALECT_ID from T_SFC_DIALECT where " +
                DateTimeCompare(kind_, "STAMP", " > ", before.AddSeconds(30))),
            std::vector<int64_t>{});
}

TEST_P(DialectEngineTest, QueryBuilderStatementsRun) {
  Insert(1, "a", kLateJanuary);
  Insert(2, "b", kLateJanuary);
  auto state = std::make_shared<QueryBuilderState>();
  state->database_kind = kind_;
  CQueryBuilder qb(state);
  dbaccess::Recordset empty;
  empty.Open(qb.GetSelectAll("DIALECT", true), conn_);
  EXPECT_TRUE(empty.Eof());
  EXPECT_EQ(empty.FieldCount(), 5u);
  empty.Close();

  qb.Clear();
  qb.SetTableName("DIALECT");
  qb.SetCols("DIALECT_ID, NAME" + qb.Glue(" - ") + " AMOUNT as LABEL");
  qb.AddFiltID("DIALECT_ID", 2, " = ", "and");
  qb.AddFiltDate("STAMP", DateTime::FromParts(2024, 1, 31), " >= ", "and");
  qb.AddFiltColIsNotNull("NAME", "", "and");
  const auto rows = Rows(qb.query());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1].ToText(), "b - 0");

  // The heartbeat grid shows 200 seconds for a machine without a timeout.
  conn_->Execute("update T_SFC_DIALECT set AMOUNT = NULL, TIMEOUT = 30 where DIALECT_ID = 2");
  EXPECT_EQ(Ids("select " + qb.IIF(qb.isNullTest("TIMEOUT"), "200", "TIMEOUT") +
                " as TIMEOUT from T_SFC_DIALECT order by DIALECT_ID"),
            (std::vector<int64_t>{200, 30}));
  EXPECT_EQ(Scalar("select " + qb.isNullFunc("AMOUNT", "'7'") +
                   " from T_SFC_DIALECT where DIALECT_ID = 2")
                .ToText(),
            "7");
  EXPECT_EQ(Ids(" select 0 as VAL, 'Pending' as NAME" + qb.FromDual() +
                " union select 1 as VAL, 'In Process' as NAME" + qb.FromDual() +
                " union select 2 as VAL, 'Completed' as NAME" + qb.FromDual() + " order by 1"),
            (std::vector<int64_t>{0, 1, 2}));
  EXPECT_EQ(Scalar("select count(*) from T_SFC_DIALECT a " + qb.CrossJoin() + " T_SFC_DIALECT b")
                .ToInt64(),
            4);
  // A reserved word as a name.
  EXPECT_EQ(Scalar("select NAME as " + qb.Esc("ORDER") + " from T_SFC_DIALECT where DIALECT_ID = 2")
                .ToText(),
            "b");
}

TEST_P(DialectEngineTest, SqlBuilderBindsEveryParameterKind) {
  SQLBuilder insert;
  insert.SetDatabaseType(kind_);
  insert.SetCommandText(
      "insert into T_SFC_DIALECT (DIALECT_ID, NAME, STAMP) values (@ID, @Name, @Stamp)");
  insert.SetParameter("@ID", adtype::kInteger, Variant(7));
  insert.SetParameter("@Name", adtype::kVarChar, Variant("O'Hara – Größe"));
  insert.SetParameter("@Stamp", adtype::kDate, Variant(kLateJanuary));
  std::string error;
  ASSERT_TRUE(insert.Execute(conn_, error)) << error;
  Insert(8, "other", kLateJanuary);
  Insert(9, "later", kLateJanuary.AddDays(1));

  SQLBuilder select;
  select.SetDatabaseType(kind_);
  select.SetCommandText(
      "select DIALECT_ID, NAME, STAMP from T_SFC_DIALECT where DIALECT_ID in (@ids) and STAMP = "
      "@Stamp order by DIALECT_ID");
  select.SetParameter("@ids", adtype::kArray, std::vector<Variant>{7, 8, 9});
  select.SetParameter("@Stamp", adtype::kDate, Variant(kLateJanuary));
  auto rs = select.OpenRecordset(kind_, conn_, false);
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Fields("DIALECT_ID").Value().ToInt64(), 7);
  EXPECT_EQ(rs->Fields("NAME").Value().ToText(), "O'Hara – Größe");
  EXPECT_EQ(rs->Fields("STAMP").Value().ToDateTime(), kLateJanuary);
  rs->MoveNext();
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Fields("DIALECT_ID").Value().ToInt64(), 8);
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  rs->Close();

  SQLBuilder broken;
  broken.SetDatabaseType(kind_);
  broken.SetCommandText("insert into T_SFC_NO_SUCH_TABLE (A) values (@A)");
  broken.SetParameter("@A", adtype::kInteger, Variant(1));
  EXPECT_FALSE(broken.Execute(conn_, error));
  EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, DialectEngineTest,
                         ::testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
}  // namespace voltrane
