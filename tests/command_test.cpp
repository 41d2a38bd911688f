// Command over every available database kind: "?" parameters, affected rows,
// returned recordsets and the refusal of over-long texts.
#include "dbaccess/command.h"

#include <gtest/gtest.h>

#include <functional>

#include "dbaccess/connection.h"
#include "dbaccess/db_error.h"
#include "tests/support/portable_sql.h"
#include "tests/support/test_databases.h"

namespace dbaccess {
namespace {

class CommandTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateTestDatabase(GetParam());
    connection_ = std::make_shared<Connection>();
    connection_->Open(database_.connection_string);
    connection_->Execute("CREATE TABLE T_EVENT (EVENT_ID " +
                         testsupport::GeneratedKeyType(database_) +
                         ", MACHINE_ID INTEGER, PARAM1 VARCHAR(10), START_TIME " +
                         testsupport::DateTimeType(database_) + ", ACTIVE BOOLEAN)");
  }
  void TearDown() override {
    connection_->Close();
    testsupport::DropTestDatabase(database_);
  }

  // An insert command with all four parameter types.
  Command Insert(int machine, const std::string& param, const DateTime& when, bool active) {
    Command command;
    command.SetActiveConnection(connection_);
    command.SetCommandText(
        "insert into T_EVENT (MACHINE_ID, PARAM1, START_TIME, ACTIVE) values (?, ?, ?, ?)");
    command.AddParameter("lMachineID", dbaccess::ParamType::kInteger, ParamDirection::kInput, 0,
                         Variant(machine));
    command.AddParameter("strParam", dbaccess::ParamType::kText, ParamDirection::kInput, 10,
                         Variant(param));
    command.AddParameter("dtStart", dbaccess::ParamType::kDateTime, ParamDirection::kInput, 0,
                         Variant(when));
    command.AddParameter("bActive", dbaccess::ParamType::kBoolean, ParamDirection::kInput, 0,
                         Variant(active));
    return command;
  }

  testsupport::TestDatabase database_;
  ConnectionPtr connection_;
};

int32_t ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const DbError& error) {
    return error.number();
  }
  return 0;
}

TEST_P(CommandTest, ParametersBindInOrderAndRowsAreCounted) {
  const DateTime when = DateTime::FromParts(2026, 5, 4, 3, 2, 1, 987);
  EXPECT_EQ(Insert(7, "O'Neil", when, true).Execute(), 1);
  EXPECT_EQ(Insert(7, "second", when.AddSeconds(1), false).Execute(), 1);
  EXPECT_EQ(Insert(8, "third", when.AddSeconds(2), true).Execute(), 1);

  Command update;
  update.SetActiveConnection(connection_);
  update.SetCommandText("update T_EVENT set PARAM1 = ? where MACHINE_ID = ?");
  update.AddParameter("p", dbaccess::ParamType::kText, ParamDirection::kInput, 10, Variant("x"));
  update.AddParameter("m", dbaccess::ParamType::kInteger, ParamDirection::kInput, 0, Variant("7"));
  EXPECT_EQ(update.Execute(), 2);
  update.Param("M").value = Variant(99);  // names without regard to case
  EXPECT_EQ(update.Execute(), 0);
  EXPECT_EQ(ErrorOf([&] { update.Param("nope"); }), kErrItemNotFound);
}

TEST_P(CommandTest, ExecuteQueryReturnsAnOpenRecordsetWithTypedValues) {
  const DateTime when = DateTime::FromParts(2026, 5, 4, 3, 2, 1, 987);
  Insert(7, "O'Neil", when, true).Execute();
  Insert(8, "other", when, false).Execute();

  Command query;
  query.SetActiveConnection(connection_);
  query.SetCommandText("select * from T_EVENT where START_TIME = ? and ACTIVE = ?");
  query.AddParameter("t", dbaccess::ParamType::kDateTime, ParamDirection::kInput, 0,
                     Variant(when.ToText()));  // text converted to a date-time
  query.AddParameter("a", dbaccess::ParamType::kBoolean, ParamDirection::kInput, 0, Variant(true));
  RecordsetPtr rs = query.ExecuteQuery();
  ASSERT_TRUE(rs->IsOpen());
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Fields("PARAM1").Value().ToText(), "O'Neil");
  EXPECT_EQ(rs->Fields("START_TIME").Value(), Variant(when));
  EXPECT_EQ(rs->Fields("ACTIVE").Value(), Variant(true));
  EXPECT_EQ(rs->BaseTable(), "T_EVENT");
}

TEST_P(CommandTest, OverlongTextIsRefusedBeforeTheDatabaseSeesIt) {
  Command command = Insert(7, "eleven-char", DateTime(), true);
  EXPECT_EQ(ErrorOf([&] { command.Execute(); }), kErrInvalidArgument);
  // Ten characters of two bytes each fit: the size counts characters.
  command.Param("strParam").value = Variant(
      "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
      "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4");
  EXPECT_EQ(command.Execute(), 1);
  Command count;
  count.SetActiveConnection(connection_);
  count.SetCommandText("select count(*) as N from T_EVENT");
  EXPECT_EQ(count.ExecuteQuery()->Fields("N").Value().ToInt64(), 1);
}

TEST_P(CommandTest, NullParametersAndStatementErrors) {
  Command command = Insert(7, "", DateTime(), false);
  command.Param("strParam").value = Variant::Null();
  command.Param("dtStart").value = Variant();
  EXPECT_EQ(command.Execute(), 1);
  Command query;
  query.SetActiveConnection(connection_);
  query.SetCommandText("select PARAM1, START_TIME from T_EVENT");
  RecordsetPtr rs = query.ExecuteQuery();
  EXPECT_TRUE(rs->Fields("PARAM1").Value().IsNull());
  EXPECT_TRUE(rs->Fields("START_TIME").Value().IsNull());

  query.SetCommandText("select * from T_MISSING");
  EXPECT_EQ(ErrorOf([&] { query.ExecuteQuery(); }), kErrTableNotFound);
  query.SetCommandText("selec * from T_EVENT");
  EXPECT_EQ(ErrorOf([&] { query.Execute(); }), kErrCommandFailed);

  Command unconnected;
  unconnected.SetCommandText("select 1");
  EXPECT_EQ(ErrorOf([&] { unconnected.Execute(); }), kErrObjectClosed);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CommandTest, ::testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

TEST(SqliteCommandTest, StoredProceduresAreNotAvailable) {
  const auto database = testsupport::CreateTestDatabase("SQLite");
  auto connection = std::make_shared<Connection>();
  connection->Open(database.connection_string);
  Command command;
  command.SetActiveConnection(connection);
  command.SetCommandType(CommandType::kStoredProcedure);
  command.SetCommandText("AddEventRecord");
  command.AddParameter("RETURN_VALUE", dbaccess::ParamType::kInteger, ParamDirection::kReturnValue);
  EXPECT_EQ(ErrorOf([&] { command.Execute(); }), kErrCommandFailed);
  connection->Close();
  testsupport::DropTestDatabase(database);
}

}  // namespace
}  // namespace dbaccess
