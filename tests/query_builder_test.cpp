// The manager's query builder: statement assembly, and the fragments of
// Oracle, Access and SQL Server against their fixed texts.
#include "dbaccess/query_builder.h"

#include <gtest/gtest.h>

#include "dbaccess/dialect.h"
#include "dbaccess/query_dialect.h"

namespace voltrane {
namespace {

using dbaccess::DateTime;

const DateTime kMorning = DateTime::FromParts(2024, 3, 7, 7, 5, 9);

CQueryBuilder BuilderFor(int32_t kind) {
  auto state = std::make_shared<QueryBuilderState>();
  state->database_kind = kind;
  return CQueryBuilder(state);
}

TEST(QueryAssemblyTest, PlainTableOnSqlServer) {
  auto qb = BuilderFor(dbkind::kSqlServer);
  qb.SetTableName("MACHINE");
  EXPECT_EQ(qb.query(), "Select * from T_SFC_MACHINE t  with (NOLOCK) ");
  qb.Clear();
  qb.SetTableName("MACHINE");
  EXPECT_EQ(qb.query(), "Select * from T_SFC_MACHINE t  with (NOLOCK) ");
}

TEST(QueryAssemblyTest, ClearResetsEveryPart) {
  auto qb = BuilderFor(dbkind::kOracle);
  qb.SetTableName("JOB");
  qb.SetTableAlias("j");
  qb.SetCols("JOB_ID");
  qb.AddFiltStr("x = 1", "and");
  qb.AddFiltJoinStr(" left join y");
  qb.AddJoinStr(" cross join z");
  qb.SetClause("order by 1");
  qb.SetEmbeddedTableQuery("select 1");
  qb.Clear();
  qb.SetTableName("USER");
  EXPECT_EQ(qb.query(), "Select * from T_SFC_USER t ");
}

TEST(QueryAssemblyTest, EmptyFilterSelectsColumnsOnly) {
  auto qb = BuilderFor(dbkind::kAccess);
  qb.SetTableName("MACHINE");
  qb.MakeEmptyFilter();
  EXPECT_EQ(qb.Filter(), "MACHINE_ID = 0");
  auto other = BuilderFor(dbkind::kSqlServer);
  EXPECT_EQ(other.GetSelectAll("PART", true),
            "Select * from T_SFC_PART t  with (NOLOCK)  where PART_ID = 0");
  auto unfiltered = BuilderFor(dbkind::kSqlServer);
  EXPECT_EQ(unfiltered.GetSelectAll("PART", false), "Select * from T_SFC_PART t  with (NOLOCK) ");
}

TEST(QueryAssemblyTest, FiltersJoinWithConnectors) {
  auto qb = BuilderFor(dbkind::kSqlServer);
  qb.SetTableName("EVENT");
  qb.AddFiltID("MACHINE_ID", -1, " = ", "and");  // not found: no filter
  EXPECT_EQ(qb.Filter(), "");
  qb.AddFiltID("MACHINE_ID", 5, " = ", "and");
  qb.AddFiltStr("x > 2", "or");
  qb.AddFiltDate("START_TIME", std::nullopt, " >= ", "and");  // null date: nothing
  qb.AddFiltDate("START_TIME", kMorning, " >= ", "and");
  qb.AddFiltColIsNotNull("STOP_TIME", "", "and");
  qb.AddFiltColIsNotNull("SHIFT_ID", "s", "and");
  EXPECT_EQ(qb.Filter(),
            "t.MACHINE_ID = 5 or x > 2 and t.START_TIME >= CAST('3/7/2024' AS DATETIME)  and "
            "t.STOP_TIME IS NOT NULL  and s.SHIFT_ID IS NOT NULL ");
  auto bare = BuilderFor(dbkind::kSqlServer);
  bare.SetTableAlias("");
  bare.AddFiltID("MACHINE_ID", 0, "=", "and");
  EXPECT_EQ(bare.Filter(), "MACHINE_ID=0");
}

TEST(QueryAssemblyTest, JoinsWhereAndClause) {
  auto qb = BuilderFor(dbkind::kOracle);
  qb.SetTableName("MACHINE");
  qb.SetCols("t.MACHINE_ID, g.GROUP_NAME");
  qb.AddJoin("GROUP", "g", "t", "GROUP_ID");
  qb.AddEmbededJoin("select 1 as LOCATION_ID", "l", "g", "LOCATION_ID", "left");
  qb.AddFiltJoin("MACHINE_HEARTBEAT", "hb", "t", "MACHINE_ID");
  qb.AddFiltStr("t.ENABLED = 1", "and");
  qb.SetClause("order by t.MACHINE_ID");
  EXPECT_EQ(qb.query(),
            "Select t.MACHINE_ID, g.GROUP_NAME from T_SFC_MACHINE t "
            " inner join T_SFC_GROUP g on t.GROUP_ID = g.GROUP_ID"
            " left join (select 1 as LOCATION_ID) l on g.LOCATION_ID = l.LOCATION_ID"
            " left join T_SFC_MACHINE_HEARTBEAT hb on t.MACHINE_ID = hb.MACHINE_ID"
            " where t.ENABLED = 1 order by t.MACHINE_ID");
  qb.SetJoinStr("");
  qb.SetFilterJoin("");
  EXPECT_EQ(qb.query(),
            "Select t.MACHINE_ID, g.GROUP_NAME from T_SFC_MACHINE t  where t.ENABLED = 1 order "
            "by t.MACHINE_ID");
}

TEST(QueryAssemblyTest, NestedQueryDropsTheHint) {
  auto inner = BuilderFor(dbkind::kSqlServer);
  inner.SetTableName("JOB");
  auto outer = BuilderFor(dbkind::kSqlServer);
  outer.Nest("j", inner);
  EXPECT_EQ(outer.NoLock(), "");
  EXPECT_EQ(outer.query(), "Select * from  ( Select * from T_SFC_JOB t  with (NOLOCK)  ) j");
}

TEST(QueryAssemblyTest, JoinHelpersGiveText) {
  auto qb = BuilderFor(dbkind::kSqlServer);
  EXPECT_EQ(qb.Join2("PART", "p", "md"),
            "inner join T_SFC_PART p with (NOLOCK)  on p.PART_ID = md.PART_ID");
  EXPECT_EQ(qb.Join2("USER", "u", "md", "USER_ID", "LOGON_USER_ID", "left"),
            "left join T_SFC_USER u with (NOLOCK)  on u.USER_ID = md.LOGON_USER_ID");
  EXPECT_EQ(qb.Join("PART", "p", "q", "PART_ID", "select * from X", "p.PART_NAME"),
            "Select q.*,p.PART_NAME from (select * from X) q left join T_SFC_PART p on q.PART_ID "
            "= p.PART_ID");
  EXPECT_EQ(qb.Join("PART", "p", "q", "PART_ID,MACHINE_ID", "select * from X", "p.PART_NAME"),
            "Select q.*,p.PART_NAME from (select * from X) q left join T_SFC_PART p on (q.PART_ID "
            "= p.PART_ID and q.MACHINE_ID = p.MACHINE_ID)");
  EXPECT_EQ(qb.DeRefColQuery("JOB"),
            "(SELECT JOB_NUMBER + N' - ' + JOB_NAME  from T_SFC_JOB  with (NOLOCK)  WHERE JOB_ID = "
            "t.JOB_ID) as JOB");
  EXPECT_EQ(qb.DeRefColQuery("JOB", "JOB_NAME", "JOB_ID", "md", "JOBNAME"),
            "(SELECT JOB_NAME from T_SFC_JOB  with (NOLOCK)  WHERE JOB_ID = md.JOB_ID) as JOBNAME");
}

TEST(QueryAssemblyTest, HintAndConnectorStayFromCreation) {
  auto state = std::make_shared<QueryBuilderState>();
  state->database_kind = dbkind::kSqlServer;
  CQueryBuilder qb(state);
  state->database_kind = dbkind::kOracle;
  qb.Clear();
  EXPECT_EQ(qb.DatabaseKind(), dbkind::kOracle);
  EXPECT_EQ(qb.NoLock(), " with (NOLOCK) ");
  EXPECT_EQ(qb.GlueConnector(), "+");
  EXPECT_EQ(qb.QuotedStr("a"), "N'a'");  // fragments follow the kind
}

TEST(QueryAssemblyTest, LongCastToStrQueuesGetlongOncePerRun) {
  auto state = std::make_shared<QueryBuilderState>();
  state->database_kind = dbkind::kOracle;
  CQueryBuilder first(state);
  EXPECT_EQ(first.LongCastToStr("T_SFC_NOTE", "NOTE_TEXT"),
            "UNISTR(REPLACE(getlong('T_SFC_NOTE','NOTE_TEXT', rowid),'\\','\\\\'))");
  EXPECT_EQ(state->pending_statement, kGetLongFunctionStatement);
  state->pending_statement.clear();  // the manager ran it
  CQueryBuilder second(state);
  second.LongCastToStr("T_SFC_NOTE", "NOTE_TEXT");
  first.LongCastToStr("T_SFC_NOTE", "NOTE_TEXT");
  EXPECT_EQ(state->pending_statement, "");

  auto sql_server = std::make_shared<QueryBuilderState>();
  sql_server->database_kind = dbkind::kSqlServer;
  CQueryBuilder other(sql_server);
  EXPECT_EQ(other.LongCastToStr("T_SFC_NOTE", "NOTE_TEXT"), "Cast(NOTE_TEXT as nvarchar(256))");
  EXPECT_EQ(sql_server->pending_statement, "");
}

TEST(QueryAssemblyTest, GetlongStatementIsOneLine) {
  const std::string text = kGetLongFunctionStatement;
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.rfind("create or replace function getlong( p_tname in varchar2, ", 0), 0u);
  EXPECT_NE(text.find(" l_long_val varchar2(4000); l_long_len number;"), std::string::npos);
  EXPECT_NE(text.find(" l_long_val, l_long_len ); end if;"), std::string::npos);
  EXPECT_TRUE(
      text.ends_with(" l_long_val, l_long_len ); end if; dbms_sql.close_cursor(l_cursor);"
                     " return l_long_val; end getlong;"));
}

TEST(QueryFragmentTest, EscapingGlueAndConstants) {
  auto ora = BuilderFor(dbkind::kOracle);
  auto acc = BuilderFor(dbkind::kAccess);
  auto sql = BuilderFor(dbkind::kSqlServer);
  EXPECT_EQ(ora.Esc("ORDER"), "\"ORDER\"");
  EXPECT_EQ(acc.EscWord("ORDER"), "[ORDER]");
  EXPECT_EQ(sql.Esc("ORDER"), "[ORDER]");
  EXPECT_EQ(ora.Glue(" - "), "|| N' - ' ||");
  EXPECT_EQ(acc.Glue(" - "), "& ' - ' &");
  EXPECT_EQ(sql.Glue("it's"), "+ N'it''s' +");
  EXPECT_EQ(acc.GlueField("NAME"), "& NAME &");
  EXPECT_EQ(ora.NoLock(), "");
  EXPECT_EQ(acc.NoLock(), "");
  EXPECT_EQ(ora.FromDual(), " from DUAL ");
  EXPECT_EQ(acc.FromDual(), " FROM (SELECT COUNT(*) FROM T_SFC_DB_ITEM WHERE 1 <> 1) AS Dummy ");
  EXPECT_EQ(sql.FromDual(), " ");
  EXPECT_EQ(ora.StdDev(), "STDDEV");
  EXPECT_EQ(acc.StdDev(), "STDEV");
  EXPECT_EQ(sql.StdDev(), "STDEV");
  EXPECT_EQ(ora.SysDate(), "CURRENT_DATE");
  EXPECT_EQ(acc.GetSysDateQuery(), "(Date()+Time())");
  EXPECT_EQ(sql.SysDate(), "CURRENT_TIMESTAMP");
  EXPECT_EQ(ora.CrossJoin(), "cross join");
  EXPECT_EQ(acc.CrossJoin(), ",");
  EXPECT_EQ(sql.CrossJoin(), "cross join");
}

TEST(QueryFragmentTest, SharedFragmentsMatchTheLibrary) {
  for (int32_t kind : {0, 1, 2}) {
    auto qb = BuilderFor(kind);
    EXPECT_EQ(qb.QuotedStr("A'B"), QuotedStr(kind, "A'B"));
    EXPECT_EQ(qb.UCase("x"), UCase(kind, "x"));
    EXPECT_EQ(qb.IIF("c", "t", "f"), IIF(kind, "c", "t", "f"));
    EXPECT_EQ(qb.GetTop(2, "select a from b"), GetTop(kind, 2, "select a from b"));
    EXPECT_EQ(qb.CastToNumeric("x"), CastToNumeric(kind, "x"));
    EXPECT_EQ(qb.DateTimeCompare("c", "=", kMorning), DateTimeCompare(kind, "c", "=", kMorning));
    EXPECT_EQ(qb.QBUpdate("T", "a", "j", "s", "w"), QBUpdate(kind, "T", "a", "j", "s", "w"));
  }
}

TEST(QueryFragmentTest, TopSingleAndDates) {
  auto ora = BuilderFor(dbkind::kOracle);
  auto acc = BuilderFor(dbkind::kAccess);
  auto sql = BuilderFor(dbkind::kSqlServer);
  EXPECT_EQ(ora.GetTopSingle("a", "b", "and c = 1"),
            "(select a from b where ROWNUM <= 1 and c = 1)");
  EXPECT_EQ(acc.GetTopSingle("a", "b", "c = 1"), "(select distinct top 1 a from b where c = 1)");
  EXPECT_EQ(sql.GetTopSingle("a", "b", "c = 1"), "(select top 1 a from b where c = 1)");
  EXPECT_EQ(ora.FormatDate(kMorning), "TO_DATE('3/7/2024', 'MM/DD/YYYY')");
  EXPECT_EQ(acc.FormatDate(kMorning), " #3/7/2024# ");
  EXPECT_EQ(sql.FormatDate(kMorning), "CAST('3/7/2024' AS DATETIME) ");
  EXPECT_EQ(sql.DateCompare("d", " < ", kMorning), "d < CAST('3/7/2024' AS DATETIME) ");
  EXPECT_EQ(sql.DateCompare("d", " < ", std::nullopt), "");
  EXPECT_EQ(ora.FormatDateTimeForQuery(kMorning),
            "TO_DATE('3/7/2024 7:5:9', 'MM/DD/YYYY HH24:MI:SS') ");
  EXPECT_EQ(acc.FormatDateTimeForQuery(kMorning), " #3/7/2024 7:5:9# ");
  EXPECT_EQ(sql.FormatDateTimeForQuery(kMorning), "CAST('3/7/2024 7:5:9' AS DATETIME) ");
  EXPECT_EQ(ora.DateRangeAsFloat("a", "b"), "TO_NUMBER(a-b)");
  EXPECT_EQ(acc.DateRangeAsFloat("a", "b"), "(a-b)");
  EXPECT_EQ(sql.DateRangeAsFloat("a", "b"), "convert(float, a-b)");
  EXPECT_EQ(ora.DateAsDateTimeStr("d", "D"), "TO_NCHAR(d) as D");
  EXPECT_EQ(acc.DateAsDateTimeStr("d", "D"), "Format(d, \"General Date\") As D");
  EXPECT_EQ(sql.DateAsDateTimeStr("d", "D"),
            "(CONVERT(CHAR(11),d,111) + SUBSTRING(CONVERT(CHAR(19),d,100),13,19)) as D");
  EXPECT_EQ(ora.DateDisplayFormat("d", "D"), "TO_CHAR(d, 'MM/DD/YYYY') AS D");
  EXPECT_EQ(acc.DateDisplayFormat("d", ""), "Format([d], \"mm/dd/yyyy\")");
  EXPECT_EQ(sql.DateDisplayFormat("d", ""), "CONVERT(VARCHAR(10), d, 101)");
  EXPECT_EQ(ora.ConvertDateToHours("f"), "(f)*24");
  EXPECT_EQ(acc.ConvertDateToHours("f"), "(f)*24");
  EXPECT_EQ(sql.ConvertDateToHours("f"), "Convert(float,f)*24");
}

TEST(QueryFragmentTest, DateParts) {
  auto ora = BuilderFor(dbkind::kOracle);
  auto acc = BuilderFor(dbkind::kAccess);
  auto sql = BuilderFor(dbkind::kSqlServer);
  EXPECT_EQ(ora.DayPart("x"), "TO_NCHAR(x, 'dd')");
  EXPECT_EQ(acc.DayPart("x"), "Day(x)");
  EXPECT_EQ(sql.DayPart("x"), "Day(x)");
  EXPECT_EQ(ora.DayOfWeek("x"), "TO_NCHAR(x, 'd')");
  EXPECT_EQ(acc.DayOfWeek("x"), "DatePart('w', x)");
  EXPECT_EQ(sql.DayOfWeek("x"), "DatePart(dw, x)");
  EXPECT_EQ(ora.MonthPart("x"), "TO_NCHAR(x, 'MM')");
  EXPECT_EQ(sql.MonthPart("x"), "MONTH(x)");
  EXPECT_EQ(ora.YearPart("x"), "TO_NCHAR(x, 'YYYY')");
  EXPECT_EQ(acc.YearPart("x"), "YEAR(x)");
  EXPECT_EQ(ora.DayOfYear("x"), "TO_NCHAR(x, 'ddd')");
  EXPECT_EQ(acc.DayOfYear("x"), "DatePart('y', x)");
  EXPECT_EQ(sql.DayOfYear("x"), "DatePart(dy, x)");
  EXPECT_EQ(ora.FirstDayOfYear("d"),
            "TO_NCHAR(TO_DATE('1/1/' || TO_NCHAR(d, 'YYYY'),'MM/DD/YYYY'), 'd')");
  EXPECT_EQ(acc.FirstDayOfYear("d"), "DatePart('w', '1/1/' + CStr(YEAR(d)))");
  EXPECT_EQ(sql.FirstDayOfYear("d"), "DatePart(dw, '1/1/' + CAST(YEAR(d) AS VARCHAR) )");
}

TEST(QueryFragmentTest, DateAddByPart) {
  auto ora = BuilderFor(dbkind::kOracle);
  EXPECT_EQ(ora.DateAdd("hh", "3", "d"), "d + 3/24");
  EXPECT_EQ(ora.DateAdd("n", "3", "d"), "d + (3/24)/60");
  EXPECT_EQ(ora.DateAdd("dd", "3", "d"), "d + 3");
  EXPECT_EQ(ora.DateAdd("yy", "3", "d"), "Add_Months(d,3*12)");
  EXPECT_EQ(ora.DateAdd("mm", "3", "d"), "Add_Months(d,3)");
  EXPECT_EQ(ora.DateAdd("ss", "3", "d"), "");
  EXPECT_EQ(BuilderFor(dbkind::kAccess).DateAdd("ss", "3", "d"), "DateAdd(\"ss\",3,d)");
  EXPECT_EQ(BuilderFor(dbkind::kSqlServer).DateAdd("hh", "3", "d"), "DateAdd(\"hh\",3,d)");
}

TEST(QueryFragmentTest, CastsAndNullTests) {
  auto ora = BuilderFor(dbkind::kOracle);
  auto acc = BuilderFor(dbkind::kAccess);
  auto sql = BuilderFor(dbkind::kSqlServer);
  EXPECT_EQ(ora.CastToInt("x"), "FLOOR(x)");
  EXPECT_EQ(acc.CastToInt("x"), "Int(x)");
  EXPECT_EQ(sql.CastToInt("x"), "Cast(x as int)");
  EXPECT_EQ(ora.CastToStr("x"), "UNISTR(REPLACE(x,'\\','\\\\'))");
  EXPECT_EQ(acc.CastToStr("x"), "x");
  EXPECT_EQ(sql.CastToStr("x"), "Cast(x as nvarchar(256))");
  EXPECT_EQ(acc.LongCastToStr("T", "c"), "c");
  EXPECT_EQ(ora.TEXT_Convert("NOTE"), "NOTE");
  EXPECT_EQ(sql.TEXT_Convert("NOTE"), "CONVERT(NVARCHAR(MAX), NOTE) as NOTE");
  EXPECT_EQ(ora.isNullTest("TIMEOUT"), " TIMEOUT IS NULL ");
  EXPECT_EQ(acc.isNullTest("TIMEOUT"), " isNull(TIMEOUT) ");
  EXPECT_EQ(sql.isNullTest("TIMEOUT"), " TIMEOUT IS NULL ");
  EXPECT_EQ(ora.isNullFunc("x", "0"), "NVL(x,0)");
  EXPECT_EQ(acc.isNullFunc("x", "0"), " IIF(x is NULL,0,x)");
  EXPECT_EQ(sql.isNullFunc("x", "0"), "IsNull(x,0)");
  EXPECT_EQ(ora.IsNumeric("x"), R"(REGEXP_LIKE(x, '^[+-]?\d*\.?\d+([eE][+-]?\d+)?$'))");
  EXPECT_EQ(acc.IsNumeric("x"), "ISNUMERIC(x) = 1");
  EXPECT_EQ(sql.IsNumeric("x"), "ISNUMERIC(x) = 1");
  // The heartbeat grid's timeout column.
  EXPECT_EQ(sql.IIF(sql.isNullTest("TIMEOUT"), "200", "TIMEOUT"),
            " CASE WHEN  TIMEOUT IS NULL  THEN 200 ELSE TIMEOUT END ");
}

TEST(QueryFragmentTest, UnknownKindGivesNothing) {
  auto qb = BuilderFor(-1);
  EXPECT_EQ(qb.Esc("x"), "");
  EXPECT_EQ(qb.GlueConnector(), "");
  EXPECT_EQ(qb.Glue(" - "), "");
  EXPECT_EQ(qb.GlueField("f"), "");
  EXPECT_EQ(qb.FromDual(), "");
  EXPECT_EQ(qb.FormatDate(kMorning), "");
  EXPECT_EQ(qb.DateCompare("c", "=", kMorning), "");
  EXPECT_EQ(qb.DateAdd("dd", "1", "d"), "");
  EXPECT_EQ(qb.FirstDayOfYear("d"), "");
  EXPECT_EQ(qb.CastToStr("x"), "");
  EXPECT_EQ(qb.isNullFunc("x", "0"), "");
  EXPECT_EQ(qb.IsNumeric("x"), "");
  EXPECT_EQ(qb.CrossJoin(), "");
  EXPECT_EQ(qb.StdDev(), "");
}

}  // namespace
}  // namespace voltrane
