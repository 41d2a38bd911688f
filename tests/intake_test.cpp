// The log intake against a real shop-floor database with the demo plant, on
// every available kind: what each append operation stores, the refresh
// requests, the failure texts, the database's time stamp, quoting of texts,
// the limits refused up front, retries, the lookup caches, and the one
// statement each append costs on a warm connection.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dbaccess/clock.h"
#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "dbaccess/provider_table.h"
#include "dbaccess/recordset.h"
#include "library/components.h"
#include "library/intake/intake_sql.h"
#include "library/korvex7_obj.h"
#include "tests/support/counting_backend.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using dbaccess::Variant;

// Demo plant: machine 1 "101" in group 1, location 1; machine 5 "301" in
// group 3, location 2; all in department 1. Built-in commands have key =
// type code and VOLTRANE_ID = 2000 + key; machine VOLTRANE_IDs are 1101...
struct LogRow {
  Variant command;
  int32_t dept = 0;
  int32_t location = 0;
  int32_t group = 0;
  int32_t machine = 0;
  int32_t time_code = 0;
  dbaccess::DateTime time_stamp;
  Variant param;
};

constexpr const char* kTimeCodeMessage = " CommandTypeCode must be 0 - start, 1 - end, or 2 - both";

class IntakeTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), true);
    clock_ = std::make_shared<dbaccess::ManualClock>(dbaccess::DateTime::FromParts(2001, 2, 3));
    object_ = std::make_unique<Components>(clock_);
    std::string error;
    ASSERT_TRUE(
        object_->session.ConnectToDatabase(database_.connection_string, database_.kind, error))
        << error;
  }
  void TearDown() override {
    object_.reset();
    dbaccess::UnregisterProvider("CountedIntake");
    testsupport::DropTestDatabase(database_);
  }

  void Exec(const std::string& sql) { object_->session.connection()->Execute(sql); }

  std::vector<LogRow> Rows() {
    dbaccess::Recordset rs;
    rs.Open(
        "select COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, COMMAND_TIME_CODE, "
        "TIME_STAMP, PARAM1 from T_SFC_MDC_LOG order by MDC_LOG_ID",
        object_->session.connection());
    std::vector<LogRow> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
      LogRow row;
      row.command = rs.Fields("COMMAND_ID").Value();
      row.dept = rs.Fields("DEPT_ID").Value().ToLong();
      row.location = rs.Fields("LOCATION_ID").Value().ToLong();
      row.group = rs.Fields("GROUP_ID").Value().ToLong();
      row.machine = rs.Fields("MACHINE_ID").Value().ToLong();
      row.time_code = rs.Fields("COMMAND_TIME_CODE").Value().ToLong();
      row.time_stamp = rs.Fields("TIME_STAMP").Value().ToDateTime();
      row.param = rs.Fields("PARAM1").Value();
      rows.push_back(row);
    }
    return rows;
  }

  dbaccess::DateTime DatabaseNow() {
    dbaccess::Recordset rs;
    rs.Open("select " + voltrane::SysDateExpr(database_.kind) +
                voltrane::FromDualClause(database_.kind),
            object_->session.connection());
    return rs.Fields(size_t{0}).Value().ToDateTime();
  }

  // Appends by number and type code and returns the stored parameter.
  Variant StoredParam(const std::string& param) {
    Exec("delete from T_SFC_MDC_LOG");
    std::string error;
    EXPECT_TRUE(object_->intake.AppendItemToMDCLog2("101", 20, param, 2, error)) << error;
    const std::vector<LogRow> rows = Rows();
    return rows.size() == 1 ? rows[0].param : Variant("<no single row>");
  }

  // An object whose statements add to `counts` by kind.
  std::unique_ptr<Components> CountedObject(std::shared_ptr<testsupport::StatementCounts> counts) {
    const std::string provider = dbaccess::FindConnectionValue(
        dbaccess::ParseConnectionString(database_.connection_string), "Provider");
    testsupport::RegisterCountingProvider("CountedIntake", provider, std::move(counts));
    auto object = std::make_unique<Components>(clock_);
    std::string error;
    EXPECT_TRUE(object->session.ConnectToDatabase(
        testsupport::WithProvider(database_.connection_string, "CountedIntake"), database_.kind,
        error))
        << error;
    return object;
  }

  static int64_t Total(const testsupport::StatementCounts& counts) {
    int64_t total = 0;
    for (const auto& [kind, count] : counts) total += count;
    return total;
  }

  testsupport::TestDatabase database_;
  std::shared_ptr<dbaccess::ManualClock> clock_;
  std::unique_ptr<Components> object_;
};

TEST_P(IntakeTest, AppendByKeysJoinsTheMachinesHierarchyAndIgnoresTheCallers) {
  std::string error = "stale";
  ASSERT_TRUE(object_->intake.AppendItemToMDCLog(99, 98, 97, 5, 9, "", 1, error));
  EXPECT_EQ(error, "");
  ASSERT_TRUE(object_->intake.AppendItemToMDCLog(99, 98, 97, 1, 13, "12", 2, error)) << error;
  const std::vector<LogRow> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].command.ToLong(), 9);
  EXPECT_EQ(rows[0].dept, 1);
  EXPECT_EQ(rows[0].location, 2);
  EXPECT_EQ(rows[0].group, 3);
  EXPECT_EQ(rows[0].machine, 5);
  EXPECT_EQ(rows[0].time_code, 1);
  EXPECT_TRUE(rows[0].param.IsNull()) << "an empty parameter is stored as null";
  EXPECT_EQ(rows[1].location, 1);
  EXPECT_EQ(rows[1].group, 1);
  EXPECT_EQ(rows[1].param.ToText(), "12");
}

TEST_P(IntakeTest, AMachineThatIsNotThereOrHasNoGroupInsertsNothingAndSucceeds) {
  std::string error;
  EXPECT_TRUE(object_->intake.AppendItemToMDCLog(1, 1, 1, 777, 9, "", 0, error)) << error;
  Exec("update T_SFC_MACHINE set GROUP_ID = 42 where MACHINE_ID = 2");
  EXPECT_TRUE(object_->intake.AppendItemToMDCLog(1, 1, 1, 2, 9, "", 0, error)) << error;
  EXPECT_TRUE(object_->intake.AppendItemToMDCLogDNC(0, 0, 0, 9999, 2009, "", 0, error)) << error;
  EXPECT_TRUE(Rows().empty());
}

TEST_P(IntakeTest, ARefreshRequestIsQueuedOnlyWhenTheMachineHasNoWaitingRows) {
  std::string error;
  ASSERT_TRUE(object_->intake.AppendItemToMDCLog(0, 0, 0, 1, -1, "", 0, error)) << error;
  ASSERT_TRUE(object_->intake.AppendItemToMDCLog(0, 0, 0, 1, -1, "", 0, error)) << error;
  std::vector<LogRow> rows = Rows();
  ASSERT_EQ(rows.size(), 1u) << "the second request is redundant";
  EXPECT_TRUE(rows[0].command.IsNull());
  EXPECT_EQ(rows[0].machine, 1);
  EXPECT_EQ(rows[0].group, 1);

  // The DNC form finds the machine by its outside key first.
  ASSERT_TRUE(object_->intake.AppendItemToMDCLogDNC(0, 0, 0, 1101, -1, "", 0, error)) << error;
  ASSERT_TRUE(object_->intake.AppendItemToMDCLogDNC(0, 0, 0, 1301, -1, "", 0, error)) << error;
  rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_TRUE(rows[1].command.IsNull());
  EXPECT_EQ(rows[1].machine, 5);
  EXPECT_EQ(rows[1].location, 2);
}

TEST_P(IntakeTest, TheDncFormResolvesOutsideKeysAndQueuesAnUnknownCommandAsARefresh) {
  std::string error;
  ASSERT_TRUE(object_->intake.AppendItemToMDCLogDNC(7, 7, 7, 1202, 2009, "P-1", 0, error)) << error;
  ASSERT_TRUE(object_->intake.AppendItemToMDCLogDNC(7, 7, 7, 1202, 5555, "", 1, error)) << error;
  const std::vector<LogRow> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].command.ToLong(), 9);
  EXPECT_EQ(rows[0].machine, 4);
  EXPECT_EQ(rows[0].group, 2);
  EXPECT_EQ(rows[0].param.ToText(), "P-1");
  EXPECT_TRUE(rows[1].command.IsNull());
  EXPECT_EQ(rows[1].time_code, 1);
}

TEST_P(IntakeTest, AppendByNumberReportsAnUnknownMachineOrTypeCodeAndItsTwinAgrees) {
  std::string error;
  Variant vbs_error;
  // The scripting twin is an operation of the public object only.
  CKorvex7Obj twin(clock_);
  ASSERT_TRUE(twin.ConnectToDatabase(database_.connection_string, database_.kind, error)) << error;
  EXPECT_FALSE(object_->intake.AppendItemToMDCLog2("999", 9, "", 0, error));
  EXPECT_EQ(error, "No such machine: 999");
  EXPECT_FALSE(twin.AppendItemToMDCLog2VBS("999", 9, "", 0, vbs_error));
  EXPECT_EQ(vbs_error, Variant("No such machine: 999"));

  EXPECT_FALSE(object_->intake.AppendItemToMDCLog2("101", 3, "", 0, error));
  EXPECT_EQ(error, "No command with a COMMAND_TYPE_CODE of 3");
  EXPECT_FALSE(twin.AppendItemToMDCLog2VBS("101", 3, "", 0, vbs_error));
  EXPECT_EQ(vbs_error, Variant("No command with a COMMAND_TYPE_CODE of 3"));
  EXPECT_TRUE(Rows().empty());

  EXPECT_TRUE(twin.AppendItemToMDCLog2VBS("301", 17, "SN-1", 0, vbs_error));
  EXPECT_EQ(vbs_error, Variant(""));
  ASSERT_TRUE(object_->intake.AppendItemToMDCLog2("301", 0, "door", 2, error)) << error;
  const std::vector<LogRow> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].command.ToLong(), 17);
  EXPECT_EQ(rows[0].machine, 5);
  EXPECT_EQ(rows[0].location, 2);
  EXPECT_EQ(rows[1].command.ToLong(), 18) << "the custom command of type 0";
  EXPECT_EQ(rows[1].time_code, 2);
}

// The intake by number against its statements counted: on SQLite and
// PostgreSQL one insert per append that finds the machine and command itself
// (on PostgreSQL a prepared one), so machines and commands added, renumbered
// or removed meanwhile count at once.
TEST_P(IntakeTest, AppendByNumberIsOneInsertThatSeesTheReferenceTablesAsTheyAreNow) {
  auto counts = std::make_shared<testsupport::StatementCounts>();
  std::unique_ptr<Components> object = CountedObject(counts);
  Components& counted = *object;
  std::string error;
  const auto append = [&](const std::string& machine, int32_t type_code) {
    counts->clear();
    return counted.intake.AppendItemToMDCLog2(machine, type_code, "", 0, error);
  };
  const auto statements = [&] { return Total(*counts); };

  // The first append of a connection may prepare its statement on the server.
  ASSERT_TRUE(append("101", 9)) << error;
  ASSERT_TRUE(append("101", 9)) << error;
  EXPECT_EQ(statements(), 1);

  Exec(
      "INSERT INTO T_SFC_MACHINE (MACHINE_ID, MACHINE_NUMBER, MACHINE_NAME, GROUP_ID, "
      "STATUS_CODE) VALUES (6, '401', 'Saw', 2, 0)");
  EXPECT_FALSE(append("401", 3));
  EXPECT_EQ(error, "No command with a COMMAND_TYPE_CODE of 3");
  Exec(
      "insert into T_SFC_COMMAND (COMMAND_ID, COMMAND_NAME, COMMAND_TYPE_CODE, VOLTRANE_ID) "
      "values (77, 'Spindle', 3, 2077)");
  ASSERT_TRUE(append("401", 3)) << error;
  EXPECT_EQ(statements(), 1);
  std::vector<LogRow> rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].command.ToLong(), 77);
  EXPECT_EQ(rows[2].machine, 6);
  EXPECT_EQ(rows[2].group, 2);
  EXPECT_EQ(rows[2].location, 1);
  EXPECT_EQ(rows[2].dept, 1);

  Exec("update T_SFC_MACHINE set MACHINE_NUMBER = '402' where MACHINE_ID = 6");
  EXPECT_FALSE(append("401", 3));
  EXPECT_EQ(error, "No such machine: 401");
  Exec("delete from T_SFC_COMMAND where COMMAND_ID = 77");
  EXPECT_FALSE(append("402", 3));
  EXPECT_EQ(error, "No command with a COMMAND_TYPE_CODE of 3");
  EXPECT_EQ(Rows().size(), 3u);

  // A session without the prepared statement (a new connection, a pooler's)
  // prepares it again.
  if (database_.kind == voltrane::dbkind::kPostgreSql) {
    counted.session.connection()->Execute("DEALLOCATE ALL");
  }
  ASSERT_TRUE(append("101", 13)) << error;
  ASSERT_TRUE(append("101", 14)) << error;
  EXPECT_EQ(statements(), 1);
  EXPECT_EQ(Rows().size(), 5u);
}

TEST_P(IntakeTest, AppendsByKeyAndByOutsideKeyAreOneStatementEach) {
  auto counts = std::make_shared<testsupport::StatementCounts>();
  std::unique_ptr<Components> counted = CountedObject(counts);
  std::string error;
  for (int round = 0; round < 2; ++round) {
    // The first round may prepare the statements on the server.
    counts->clear();
    ASSERT_TRUE(counted->intake.AppendItemToMDCLog(0, 0, 0, 4, 9, "k", 1, error)) << error;
    if (round == 1) {
      EXPECT_EQ(Total(*counts), 1);
    }
    counts->clear();
    ASSERT_TRUE(counted->intake.AppendItemToMDCLogDNC(0, 0, 0, 1202, 2013, "d", 2, error)) << error;
    if (round == 1) {
      EXPECT_EQ(Total(*counts), 1);
    }
  }
  const std::vector<LogRow> rows = Rows();
  ASSERT_EQ(rows.size(), 4u);
  for (const LogRow& row : rows) {
    EXPECT_EQ(row.machine, 4);
    EXPECT_EQ(row.group, 2);
  }
  EXPECT_EQ(rows[2].command.ToLong(), 9);
  EXPECT_EQ(rows[2].param.ToText(), "k");
  EXPECT_EQ(rows[3].command.ToLong(), 13);
  EXPECT_EQ(rows[3].time_code, 2);
}

// What the single insert leaves to the lookups: a type code of several
// commands takes the one the lookup returns first, and a machine without a
// group succeeds with nothing inserted.
TEST_P(IntakeTest, AppendByNumberWithSeveralCommandsOfATypeOrAMachineWithoutGroup) {
  Exec(
      "insert into T_SFC_COMMAND (COMMAND_ID, COMMAND_NAME, COMMAND_TYPE_CODE, VOLTRANE_ID) "
      "values (3, 'Second cycle', 9, 2003)");
  dbaccess::Recordset first;
  first.Open("select COMMAND_ID from T_SFC_COMMAND where COMMAND_TYPE_CODE = 9",
             object_->session.connection());
  const int32_t looked_up = first.Fields(size_t{0}).Value().ToLong();
  first.Close();
  std::string error;
  ASSERT_TRUE(object_->intake.AppendItemToMDCLog2("101", 9, "", 0, error)) << error;
  std::vector<LogRow> rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].command.ToLong(), looked_up);

  Exec("update T_SFC_MACHINE set GROUP_ID = 42 where MACHINE_ID = 2");
  EXPECT_TRUE(object_->intake.AppendItemToMDCLog2("102", 13, "", 0, error)) << error;
  EXPECT_EQ(error, "");
  EXPECT_EQ(Rows().size(), 1u);
}

TEST_P(IntakeTest, TheTimeStampIsTheDatabasesClockWithMilliseconds) {
  const dbaccess::DateTime before = DatabaseNow();
  std::string error;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(object_->intake.AppendItemToMDCLog2("102", 9, "", i % 2, error)) << error;
  }
  const dbaccess::DateTime after = DatabaseNow();
  const std::vector<LogRow> rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  bool any_milliseconds = false;
  for (const LogRow& row : rows) {
    // The object's own clock stands in 2001 and is never asked.
    EXPECT_GE(row.time_stamp, before);
    EXPECT_LE(row.time_stamp, after);
    any_milliseconds = any_milliseconds || row.time_stamp.Millisecond() != 0;
  }
  EXPECT_TRUE(any_milliseconds) << "three stamps on whole seconds: milliseconds are lost";
  if (database_.kind == voltrane::dbkind::kSqlite) {
    dbaccess::Recordset rs;
    rs.Open("select TIME_STAMP || '' from T_SFC_MDC_LOG", object_->session.connection());
    const std::string text = rs.Fields(size_t{0}).Value().ToText();
    EXPECT_EQ(text.size(), 23u) << text;  // YYYY-MM-DD HH:MM:SS.SSS, so text order is time order
    EXPECT_EQ(text[19], '.') << text;
  }
}

TEST_P(IntakeTest, TextsAreStoredUnchangedAndNeverChangeTheStatement) {
  for (const std::string text :
       {"O'Brien", "100 % done_", "Müller, Łódź, 東京", "'; drop table T_SFC_MDC_LOG; --",
        "x' || (select 1) || '", "select * from T_SFC_MACHINE where 1=1", "a\\b ''"}) {
    EXPECT_EQ(StoredParam(text), Variant(text));
  }
  std::string error;
  // The machine number is quoted like any text: no match, and no SQL error.
  EXPECT_FALSE(object_->intake.AppendItemToMDCLog2("1'01", 9, "", 0, error));
  EXPECT_EQ(error, "No such machine: 1'01");
  EXPECT_FALSE(object_->intake.AppendItemToMDCLog2("x' or '1'='1", 9, "", 0, error));
  EXPECT_EQ(error, "No such machine: x' or '1'='1");
  Exec("update T_SFC_MACHINE set MACHINE_NUMBER = 'O''Neil-7' where MACHINE_ID = 3");
  ASSERT_TRUE(object_->intake.AppendItemToMDCLog2("O'Neil-7", 9, "", 0, error)) << error;
  EXPECT_EQ(Rows().back().machine, 3);
}

TEST_P(IntakeTest, ATimeCodeOutsideZeroToTwoIsRefusedBeforeAnyLookup) {
  std::string error;
  // An unknown machine would fail too: the time code is checked first.
  EXPECT_FALSE(object_->intake.AppendItemToMDCLog2("999", 9, "", 3, error));
  EXPECT_EQ(error, kTimeCodeMessage);
  EXPECT_FALSE(object_->intake.AppendItemToMDCLog2("101", 9, "", -1, error));
  EXPECT_EQ(error, kTimeCodeMessage);
  EXPECT_FALSE(object_->intake.AppendItemToMDCLog(0, 0, 0, 1, 9, "", 7, error));
  EXPECT_EQ(error, kTimeCodeMessage);
  EXPECT_FALSE(object_->intake.AppendItemToMDCLogDNC(0, 0, 0, 1101, 2009, "", 3, error));
  EXPECT_EQ(error, kTimeCodeMessage);
  EXPECT_TRUE(Rows().empty());
}

TEST_P(IntakeTest, AParameterLongerThanParam1IsRefusedAtOnceAndAFullOneIsKept) {
  std::string error;
  EXPECT_FALSE(object_->intake.AppendItemToMDCLog2("101", 20, std::string(256, 'x'), 0, error));
  EXPECT_EQ(error, "The parameter is 256 characters long; PARAM1 holds at most 255.");
  EXPECT_FALSE(object_->intake.AppendItemToMDCLog(0, 0, 0, 1, 20, std::string(300, 'y'), 0, error));
  EXPECT_FALSE(
      object_->intake.AppendItemToMDCLogDNC(0, 0, 0, 1101, 2019, std::string(256, 'z'), 0, error));
  EXPECT_EQ(clock_->sleep_count(), 0) << "refused without retrying";
  EXPECT_TRUE(Rows().empty());

  // The limit counts characters: 255 two-byte letters fit.
  std::string umlauts;
  for (int i = 0; i < 255; ++i) umlauts += "ü";
  EXPECT_EQ(StoredParam(umlauts), Variant(umlauts));
  EXPECT_EQ(StoredParam(std::string(255, 'x')), Variant(std::string(255, 'x')));
}

TEST_P(IntakeTest, AFailingInsertIsRetriedForNinetySecondsThenReported) {
  Exec("drop table T_SFC_MDC_LOG");
  std::string error;
  EXPECT_FALSE(object_->intake.AppendItemToMDCLog(0, 0, 0, 1, 9, "", 0, error));
  EXPECT_EQ(error.rfind("Error # ", 0), 0u) << error;
  // 90 attempts, one second apart.
  EXPECT_GE(clock_->slept_ms(), 89000);
  EXPECT_LT(clock_->slept_ms(), 90000);
}

TEST_P(IntakeTest, MachineLookups) {
  int32_t dept = -5, location = -5, group = -5;
  EXPECT_TRUE(object_->intake.GetMachineHierarchy(4, dept, location, group));
  EXPECT_EQ(dept, 1);
  EXPECT_EQ(location, 1);
  EXPECT_EQ(group, 2);
  EXPECT_FALSE(object_->intake.GetMachineHierarchy(404, dept, location, group));
  EXPECT_EQ(group, 2) << "outputs stay as they were when nothing is found";

  EXPECT_EQ(object_->intake.GetMachineIDForVoltraneID(1201), 3);
  EXPECT_EQ(object_->intake.GetMachineIDForVoltraneID(4242), -1);

  EXPECT_FALSE(object_->intake.CountLogRowsForMachine(2));
  std::string error;
  ASSERT_TRUE(object_->intake.AppendItemToMDCLog(0, 0, 0, 2, 15, "", 0, error)) << error;
  EXPECT_TRUE(object_->intake.CountLogRowsForMachine(2));
  EXPECT_FALSE(object_->intake.CountLogRowsForMachine(1));
}

TEST_P(IntakeTest, CommandLookupsAreCachedForTheObjectsLifeButMissesAreNot) {
  EXPECT_EQ(object_->intake.GetCommandIDForType(9), 9);
  EXPECT_EQ(object_->intake.GetCommandIDForType(17), 17);
  EXPECT_EQ(object_->intake.GetCommandTypeCode(11), 11);
  Exec("delete from T_SFC_COMMAND where COMMAND_ID in (9, 17)");
  Exec("update T_SFC_COMMAND set COMMAND_TYPE_CODE = 12 where COMMAND_ID = 11");
  EXPECT_EQ(object_->intake.GetCommandIDForType(9), 9) << "type codes 0 to 16 are cached";
  EXPECT_THROW(object_->intake.GetCommandIDForType(17), dbaccess::DbError)
      << "17 has no cache slot";
  EXPECT_EQ(object_->intake.GetCommandTypeCode(11), 11) << "cached";

  EXPECT_THROW(object_->intake.GetCommandIDForType(3), dbaccess::DbError);
  EXPECT_EQ(object_->intake.GetCommandTypeCode(77), -1);
  Exec(
      "insert into T_SFC_COMMAND (COMMAND_ID, COMMAND_NAME, COMMAND_TYPE_CODE, VOLTRANE_ID) "
      "values (77, 'Spindle', 3, 2077)");
  EXPECT_EQ(object_->intake.GetCommandIDForType(3), 77);
  EXPECT_EQ(object_->intake.GetCommandTypeCode(77), 3);

  Components fresh;
  std::string error;
  ASSERT_TRUE(fresh.session.ConnectToDatabase(database_.connection_string, database_.kind, error));
  EXPECT_EQ(fresh.intake.GetCommandTypeCode(11), 12) << "a new object sees the change";
}

INSTANTIATE_TEST_SUITE_P(AllKinds, IntakeTest, testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& test_info) {
                           return test_info.param;
                         });

// The statement for the kinds that cannot run here, as the plants' servers
// receive it.
TEST(IntakeSql, TheInsertTextOnSqlServerAndOracle) {
  EXPECT_EQ(
      LogInsertStatement(voltrane::dbkind::kSqlServer, "9", 0, "O'Brien", "m.MACHINE_ID = 5"),
      "INSERT INTO T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
      "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) select 9 as COMMAND_ID, l.DEPT_ID, g.LOCATION_ID, "
      "m.GROUP_ID, m.MACHINE_ID, 0 as COMMAND_TIME_CODE, CURRENT_TIMESTAMP as TIME_STAMP, "
      "N'O''Brien' as PARAM1 from T_SFC_MACHINE m  with (NOLOCK), T_SFC_GROUP g  with (NOLOCK), "
      "T_SFC_LOCATION l  with (NOLOCK) where m.group_id = g.GROUP_ID and g.LOCATION_ID = "
      "l.LOCATION_ID and m.MACHINE_ID = 5");
  EXPECT_EQ(LogInsertStatement(voltrane::dbkind::kOracle, "null", 2, "", "m.VOLTRANE_ID = 1101"),
            "INSERT INTO T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
            "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) select null as COMMAND_ID, l.DEPT_ID, "
            "g.LOCATION_ID, m.GROUP_ID, m.MACHINE_ID, 2 as COMMAND_TIME_CODE, CURRENT_DATE as "
            "TIME_STAMP, null as PARAM1 from T_SFC_MACHINE m , T_SFC_GROUP g , T_SFC_LOCATION l  "
            "where m.group_id = g.GROUP_ID and g.LOCATION_ID = l.LOCATION_ID and m.VOLTRANE_ID = "
            "1101");
}

TEST(IntakeSql, CharactersAreCountedNotBytes) {
  EXPECT_EQ(korvex7::CharacterCount(""), 0u);
  EXPECT_EQ(korvex7::CharacterCount("abc"), 3u);
  EXPECT_EQ(korvex7::CharacterCount("Łódź"), 4u);
  EXPECT_EQ(korvex7::CharacterCount("東京"), 2u);
  EXPECT_EQ(korvex7::CharacterCount("\xF0\x9F\x94\xA7"), 1u);  // a four-byte wrench
}

}  // namespace
