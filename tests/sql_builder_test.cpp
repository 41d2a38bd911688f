// SQLBuilder's parameter processing: markers become "?" with bound
// parameters in text order, Oracle inlines all but integers, arrays expand,
// and names are replaced as plain text. No database is involved here; the
// statements run for real in dialect_engine_test.
#include "dbaccess/sql_builder.h"

#include <gtest/gtest.h>

#include "dbaccess/dialect.h"

namespace voltrane {
namespace {

using dbaccess::DateTime;
using dbaccess::ParamType;
using dbaccess::Variant;

const DateTime kMorning = DateTime::FromParts(2024, 3, 7, 7, 5, 9);

std::vector<std::string> Names(const std::vector<dbaccess::Parameter>& params) {
  std::vector<std::string> names;
  for (const auto& p : params) names.push_back(p.name);
  return names;
}

TEST(SqlBuilderTest, SqlServerBindsIntegersInTextOrder) {
  SQLBuilder sb;
  sb.SetDatabaseType(dbkind::kSqlServer);
  sb.SetCommandText("select * from X where A = @MachineID and B = @DowntimeCodeID");
  sb.SetParameter("@DowntimeCodeID", adtype::kInteger, Variant(9));
  sb.SetParameter("@MachineID", adtype::kInteger, Variant(4));
  auto& params = sb.SQLCommandObject()->Parameters();
  EXPECT_EQ(sb.ProcessedSQL(), "select * from X where A = ? and B = ?");
  ASSERT_EQ(params.size(), 2u);
  EXPECT_EQ(params[0].name, "@MachineID");
  EXPECT_EQ(params[0].value.ToInt64(), 4);
  EXPECT_EQ(params[0].type, ParamType::kInteger);
  EXPECT_EQ(params[0].direction, dbaccess::ParamDirection::kInput);
  EXPECT_EQ(params[0].size, 4);
  EXPECT_EQ(params[1].name, "@DowntimeCodeID");
  EXPECT_EQ(params[1].value.ToInt64(), 9);
  // The template is kept; processing again starts from it and from no parameters.
  EXPECT_EQ(sb.CommandText(), "select * from X where A = @MachineID and B = @DowntimeCodeID");
  EXPECT_EQ(sb.SQLCommandObject()->Parameters().size(), 2u);
}

TEST(SqlBuilderTest, OracleInlinesAllButIntegers) {
  SQLBuilder sb;
  sb.SetDatabaseType(dbkind::kOracle);
  sb.SetCommandText("update T set D = @When, N = @Name, B = @Big, E = @None where K = @Key");
  sb.SetParameter("@When", adtype::kDate, Variant(kMorning));
  sb.SetParameter("@Name", adtype::kVarChar, Variant("O'Hara"));
  sb.SetParameter("@Big", adtype::kBigInt, Variant(12345678901LL));
  sb.SetParameter("@None", adtype::kChar, Variant::Null());
  sb.SetParameter("@Key", adtype::kInteger, Variant(7));
  const auto& params = sb.SQLCommandObject()->Parameters();
  EXPECT_EQ(sb.ProcessedSQL(),
            "update T set D = TO_DATE('3/7/2024 7:5:9', 'MM/DD/YYYY HH24:MI:SS') , "
            "N = 'O''Hara', B = 12345678901, E = NULL where K = ?");
  ASSERT_EQ(params.size(), 1u);
  EXPECT_EQ(params[0].name, "@Key");
}

TEST(SqlBuilderTest, OtherKindsBindEveryType) {
  for (int32_t kind : {dbkind::kAccess, dbkind::kSqlServer, dbkind::kSqlite, dbkind::kPostgreSql}) {
    SCOPED_TRACE(kind);
    SQLBuilder sb;
    sb.SetDatabaseType(kind);
    sb.SetCommandText("insert into T values (@When, @Name, @Big)");
    sb.SetParameter("@When", adtype::kDate, Variant(kMorning.AddMilliseconds(250)));
    sb.SetParameter("@Name", adtype::kVarChar, Variant("Müller"));
    sb.SetParameter("@Big", adtype::kBigInt, Variant(12345678901LL));
    const auto& params = sb.SQLCommandObject()->Parameters();
    EXPECT_EQ(sb.ProcessedSQL(), "insert into T values (?, ?, ?)");
    ASSERT_EQ(params.size(), 3u);
    EXPECT_EQ(params[0].type, ParamType::kDateTime);
    EXPECT_EQ(params[0].size, 4);
    EXPECT_EQ(params[0].value.ToDateTime(), kMorning.AddMilliseconds(250));
    EXPECT_EQ(params[1].type, ParamType::kText);
    EXPECT_EQ(params[1].size, 6);  // characters, not bytes
    EXPECT_EQ(params[2].type, ParamType::kInteger);
    EXPECT_EQ(params[2].size, 8);
  }
}

TEST(SqlBuilderTest, FirstValueOfANameStays) {
  SQLBuilder sb;
  sb.SetParameter("@A", adtype::kInteger, Variant(1));
  sb.SetParameter("@A", adtype::kVarChar, Variant("two"));
  const auto param = sb.GetParameter("@A");
  ASSERT_TRUE(param.has_value());
  EXPECT_EQ(param->ValueType, adtype::kInteger);
  EXPECT_EQ(param->Value.ToInt64(), 1);
  EXPECT_FALSE(sb.GetParameter("@B").has_value());
}

TEST(SqlBuilderTest, ArrayBecomesOneMarkerPerElement) {
  for (int32_t kind : {dbkind::kOracle, dbkind::kSqlServer}) {
    SCOPED_TRACE(kind);
    SQLBuilder sb;
    sb.SetDatabaseType(kind);
    sb.SetCommandText("delete from T where ID in (@ids)");
    sb.SetParameter("@ids", adtype::kArray, std::vector<Variant>{11, 12, 13});
    const auto& params = sb.SQLCommandObject()->Parameters();
    EXPECT_EQ(sb.ProcessedSQL(), "delete from T where ID in (?,?,?)");
    EXPECT_EQ(Names(params), (std::vector<std::string>{"@ids{1}", "@ids{2}", "@ids{3}"}));
    ASSERT_EQ(params.size(), 3u);
    EXPECT_EQ(params[2].type, ParamType::kInteger);
    EXPECT_EQ(params[2].size, 4);
    EXPECT_EQ(params[2].value.ToInt64(), 13);
  }
}

TEST(SqlBuilderTest, NameUsedTwiceBindsTwice) {
  SQLBuilder sb;
  sb.SetDatabaseType(dbkind::kSqlServer);
  sb.SetCommandText("select 1 from T where A = @M or B = @M and C = @N");
  sb.SetParameter("@M", adtype::kInteger, Variant(5));
  sb.SetParameter("@N", adtype::kInteger, Variant(6));
  const auto& params = sb.SQLCommandObject()->Parameters();
  EXPECT_EQ(sb.ProcessedSQL(), "select 1 from T where A = ? or B = ? and C = ?");
  EXPECT_EQ(Names(params), (std::vector<std::string>{"@M", "@M", "@N"}));
}

TEST(SqlBuilderTest, NameThatBeginsAnotherIsReplacedInsideIt) {
  SQLBuilder longer_first;
  longer_first.SetDatabaseType(dbkind::kSqlServer);
  longer_first.SetCommandText("A = @MachineID and B = @Machine");
  longer_first.SetParameter("@Machine", adtype::kInteger, Variant(1));
  longer_first.SetParameter("@MachineID", adtype::kInteger, Variant(2));
  longer_first.SQLCommandObject();
  EXPECT_EQ(longer_first.ProcessedSQL(), "A = ? and B = ?");

  // The shorter name comes first and is replaced inside the longer one.
  SQLBuilder shorter_first;
  shorter_first.SetDatabaseType(dbkind::kSqlServer);
  shorter_first.SetCommandText("B = @Machine and A = @MachineID");
  shorter_first.SetParameter("@Machine", adtype::kInteger, Variant(1));
  shorter_first.SetParameter("@MachineID", adtype::kInteger, Variant(2));
  const auto& params = shorter_first.SQLCommandObject()->Parameters();
  EXPECT_EQ(shorter_first.ProcessedSQL(), "B = ? and A = ?ID");
  EXPECT_EQ(Names(params), (std::vector<std::string>{"@Machine", "@MachineID"}));

  // Only the shorter name set: it is still replaced inside an unset longer one.
  SQLBuilder one_set;
  one_set.SetDatabaseType(dbkind::kSqlServer);
  one_set.SetCommandText("B = @Machine and A = @MachineID");
  one_set.SetParameter("@Machine", adtype::kInteger, Variant(1));
  one_set.SQLCommandObject();
  EXPECT_EQ(one_set.ProcessedSQL(), "B = ? and A = ?ID");
}

TEST(SqlBuilderTest, UnsetMarkersAndCaseStayAsTheyAre) {
  SQLBuilder sb;
  sb.SetDatabaseType(dbkind::kSqlServer);
  sb.SetCommandText("select '@x' as a, @@ROWCOUNT, @Other, @machineid from T where M = @MachineID");
  sb.SetParameter("@MachineID", adtype::kInteger, Variant(3));
  sb.SetParameter("@x", adtype::kInteger, Variant(4));  // matched inside the quoted text too
  const auto& params = sb.SQLCommandObject()->Parameters();
  EXPECT_EQ(sb.ProcessedSQL(),
            "select '?' as a, @@ROWCOUNT, @Other, @machineid from T where M = ?");
  EXPECT_EQ(Names(params), (std::vector<std::string>{"@x", "@MachineID"}));
}

TEST(SqlBuilderTest, CommandTypeIsForwarded) {
  SQLBuilder sb;
  EXPECT_EQ(sb.CommandType(), adcmd::kUnknown);
  sb.SetCommandType(adcmd::kStoredProc);
  EXPECT_EQ(sb.CommandType(), adcmd::kStoredProc);
  sb.SetPrepared(true);
  EXPECT_TRUE(sb.Prepared());
}

}  // namespace
}  // namespace voltrane
