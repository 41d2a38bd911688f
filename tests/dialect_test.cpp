// The library's dialect fragments for Oracle, Access and SQL Server, which no
// engine here can run: checked against their fixed texts, blanks included.
// The SQLite and PostgreSQL fragments are run for real in dialect_engine_test.
#include "dbaccess/dialect.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

using dbaccess::DateTime;

constexpr int32_t kOracle = dbkind::kOracle;
constexpr int32_t kAccess = dbkind::kAccess;
constexpr int32_t kSqlServer = dbkind::kSqlServer;

const DateTime kMorning = DateTime::FromParts(2024, 3, 7, 7, 5, 9);

TEST(DateTextTest, PartsWithAndWithoutLeadingZeros) {
  EXPECT_EQ(DatePartText(kMorning), "3/7/2024");
  EXPECT_EQ(TimePartText(kMorning), " 07:05:09");
  EXPECT_EQ(TimePartTextUnpadded(kMorning), " 7:5:9");
  const auto evening = DateTime::FromParts(2024, 12, 31, 23, 59, 58, 999);
  EXPECT_EQ(DatePartText(evening), "12/31/2024");
  EXPECT_EQ(TimePartText(evening), " 23:59:58");
  EXPECT_EQ(TimePartText(DateTime::FromParts(2024, 1, 1)), " 00:00:00");
}

TEST(DialectTest, HintsAndConcatenation) {
  EXPECT_EQ(NoLockHint(kOracle), "");
  EXPECT_EQ(NoLockHint(kAccess), "");
  EXPECT_EQ(NoLockHint(kSqlServer), " with (NOLOCK)");
  // The text inside is not quote-doubled.
  EXPECT_EQ(ConcatLiteral(kSqlServer, " - "), "+ ' - ' +");
  EXPECT_EQ(ConcatLiteral(kAccess, " - "), "& ' - ' &");
  EXPECT_EQ(ConcatLiteral(kOracle, "a'b"), "|| 'a'b' ||");
  EXPECT_EQ(UCase(kOracle, "JOB_NUMBER"), "UPPER(JOB_NUMBER)");
  EXPECT_EQ(UCase(kAccess, "JOB_NUMBER"), "UCASE(JOB_NUMBER)");
  EXPECT_EQ(UCase(kSqlServer, "JOB_NUMBER"), "UPPER(JOB_NUMBER)");
}

TEST(DialectTest, QuotedStrDoublesEveryApostrophe) {
  EXPECT_EQ(QuotedStr(kSqlServer, "A'B"), "N'A''B'");
  EXPECT_EQ(QuotedStr(kOracle, "A'B"), "N'A''B'");
  EXPECT_EQ(QuotedStr(kAccess, "A'B"), "'A''B'");
  EXPECT_EQ(QuotedStr(kAccess, ""), "''");
  EXPECT_EQ(QuotedStr(kSqlServer, "''x'"), "N'''''x'''");
}

TEST(DialectTest, ConditionalAndJoinedUpdate) {
  EXPECT_EQ(IIF(kOracle, "a is NULL", "0", "a"), " CASE WHEN a is NULL THEN 0 ELSE a END ");
  EXPECT_EQ(IIF(kSqlServer, "a is NULL", "0", "a"), " CASE WHEN a is NULL THEN 0 ELSE a END ");
  EXPECT_EQ(IIF(kAccess, "a is NULL", "0", "a"), " IIF(a is NULL,0,a)");
  EXPECT_EQ(QBUpdate(kSqlServer, "T_SFC_MACHINE_DATA", "md", "left JOIN P pph on (x)",
                     "Set STANDARD_TIME = 1", "where md.STANDARD_TIME is NULL"),
            "UPDATE md Set STANDARD_TIME = 1 from T_SFC_MACHINE_DATA md left JOIN P pph on (x) "
            "where md.STANDARD_TIME is NULL");
  EXPECT_EQ(QBUpdate(kAccess, "T_SFC_MACHINE_DATA", "md", "left JOIN P pph on (x)",
                     "Set STANDARD_TIME = 1", "where md.STANDARD_TIME is NULL"),
            "UPDATE T_SFC_MACHINE_DATA md left JOIN P pph on (x) Set STANDARD_TIME = 1 "
            "where md.STANDARD_TIME is NULL");
}

TEST(DialectTest, DateTimeLiteralOfOneMorning) {
  EXPECT_EQ(DateTimeLiteral(kSqlServer, kMorning), "CAST('3/7/2024 07:05:09' AS DATETIME) ");
  EXPECT_EQ(DateTimeLiteral(kAccess, kMorning), " #3/7/2024 07:05:09# ");
  EXPECT_EQ(DateTimeLiteral(kOracle, kMorning),
            "TO_DATE('3/7/2024 07:05:09', 'MM/DD/YYYY HH24:MI:SS') ");
  // Milliseconds have no place in the original kinds' literals.
  EXPECT_EQ(DateTimeLiteral(kSqlServer, kMorning.AddMilliseconds(870)),
            "CAST('3/7/2024 07:05:09' AS DATETIME) ");
}

TEST(DialectTest, DateTimeCompare) {
  EXPECT_EQ(DateTimeCompare(kOracle, "TIME_STAMP", " <= ", kMorning),
            "TIME_STAMP <= TO_DATE('3/7/2024 07:05:09', 'MM/DD/YYYY HH24:MI:SS')");
  EXPECT_EQ(DateTimeCompare(kAccess, "TIME_STAMP", " <= ", kMorning),
            "TIME_STAMP <=  #3/7/2024 07:05:09# ");
  EXPECT_EQ(DateTimeCompare(kSqlServer, "TIME_STAMP", " <= ", kMorning),
            "TIME_STAMP <= CAST('3/7/2024 07:05:09' AS DATETIME) ");
  // A null date drops the column and operator too.
  for (int32_t kind = 0; kind <= 4; ++kind) {
    EXPECT_EQ(DateTimeCompare(kind, "TIME_STAMP", " <= ", std::nullopt), "") << kind;
  }
}

TEST(DialectTest, CastsAndArithmetic) {
  EXPECT_EQ(CastToNumeric(kOracle, "PARAM1"), "TO_NUMBER(PARAM1)");
  EXPECT_EQ(CastToNumeric(kAccess, "PARAM1"), "CDbl(PARAM1)");
  EXPECT_EQ(CastToNumeric(kSqlServer, "PARAM1"), "Cast(PARAM1 as numeric(17,4))");
  EXPECT_EQ(AddDaysExpr(kOracle, "T.START_TIME", -1), " (T.START_TIME + -1)");
  EXPECT_EQ(AddDaysExpr(kAccess, "T.START_TIME", -1), " DateAdd('d', -1,T.START_TIME)");
  EXPECT_EQ(AddDaysExpr(kSqlServer, "T.START_TIME", 2), " DateAdd(dd, 2,T.START_TIME)");
  EXPECT_EQ(ModExpr(kOracle, "a", "4"), "MOD(a,4)");
  EXPECT_EQ(ModExpr(kAccess, "a", "4"), "a MOD 4");
  EXPECT_EQ(ModExpr(kSqlServer, "a", "4"), "a % 4");
}

TEST(DialectTest, GetTopTakesTheFirstRows) {
  EXPECT_EQ(GetTop(kSqlServer, 2, "select a from b order by c"),
            "select top 2 a from b order by c");
  EXPECT_EQ(GetTop(kAccess, 2, "select a from b order by c"),
            "select top 2 * from (select a from b order by c) Sel");
  EXPECT_EQ(GetTop(kOracle, 2, "select a from b order by c"),
            "select * from (select a from b order by c) Sel where ROWNUM <= 2");
  // A statement too short to hold "select" leaves nothing to keep.
  EXPECT_EQ(GetTop(kSqlServer, 1, "sel"), "select top 1");
}

TEST(DialectTest, DatabaseTimeStatement) {
  EXPECT_EQ("select " + SysDateExpr(kOracle) + FromDualClause(kOracle),
            "select CURRENT_DATE from dual");
  EXPECT_EQ("select " + SysDateExpr(kAccess) + FromDualClause(kAccess), "select Date()+Time()");
  EXPECT_EQ("select " + SysDateExpr(kSqlServer) + FromDualClause(kSqlServer),
            "select CURRENT_TIMESTAMP");
}

TEST(DialectTest, UnknownKindsGiveNothing) {
  for (int32_t kind : {-1, 5, 99}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(ConcatLiteral(kind, " - "), "");
    EXPECT_EQ(UCase(kind, "x"), "");
    EXPECT_EQ(QuotedStr(kind, "x"), "");
    EXPECT_EQ(IIF(kind, "c", "t", "f"), "");
    EXPECT_EQ(QBUpdate(kind, "t", "a", "j", "s", "w"), "");
    EXPECT_EQ(DateTimeLiteral(kind, kMorning), "");
    EXPECT_EQ(DateTimeCompare(kind, "a", "=", kMorning), "");
    EXPECT_EQ(CastToNumeric(kind, "x"), "");
    EXPECT_EQ(AddDaysExpr(kind, "x", 1), "");
    EXPECT_EQ(ModExpr(kind, "a", "b"), "");
    EXPECT_EQ(GetTop(kind, 2, "select a from b"), "");
    EXPECT_EQ(SysDateExpr(kind), "");
    EXPECT_EQ(NoLockHint(kind), "");
    EXPECT_EQ(FromDualClause(kind), "");
  }
}

}  // namespace
}  // namespace voltrane
