// Event records and the custom command handlers against a real shop-floor
// database of every kind, and the synthetic commands of the heartbeat
// monitor, which run their handler with the values they carry.
#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>

#include "base/ascii_case.h"
#include "dbaccess/clock.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "library/components.h"
#include "library/session/sql_date_time.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace {

constexpr int kDoorOpen = 18;      // custom, type code 0
constexpr int kCoolantAlarm = 19;  // custom, type code 20

// Error texts name tables as the database spells them (PostgreSQL in lower case).
struct Event {
  int64_t id = -1;
  std::string start, stop, param;  // "null" for a null value
  int64_t group = -1;
};

class EventRecordsTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), true);
    std::string error;
    ASSERT_TRUE(
        object_.session.ConnectToDatabase(database_.connection_string, database_.kind, error))
        << error;
  }
  void TearDown() override { testsupport::DropTestDatabase(database_); }

  static std::string Text(const dbaccess::Variant& value) {
    if (value.IsNull()) return "null";
    if (value.Type() == dbaccess::VariantType::kDateTime) return value.ToDateTime().ToText();
    return value.ToText();
  }
  // Events of one machine and command, oldest first.
  std::vector<Event> Events(int machine, int command) {
    dbaccess::Recordset rs;
    rs.Open(
        "select EVENT_ID, START_TIME, STOP_TIME, PARAM1, GROUP_ID from T_SFC_EVENT where "
        "MACHINE_ID = " +
            std::to_string(machine) + " and COMMAND_ID = " + std::to_string(command) +
            " order by EVENT_ID",
        object_.session.connection());
    std::vector<Event> events;
    for (; !rs.Eof(); rs.MoveNext()) {
      events.push_back({rs.Fields(size_t{0}).Value().ToInt64(), Text(rs.Fields(size_t{1}).Value()),
                        Text(rs.Fields(size_t{2}).Value()), Text(rs.Fields(size_t{3}).Value()),
                        rs.Fields(size_t{4}).Value().ToInt64()});
    }
    return events;
  }
  // The open event of the machine and command: "none" without a row.
  std::string OpenEvent(int machine, int command) {
    dbaccess::Recordset rs;
    rs.Open("select EVENT_ID from T_SFC_MACHINE_EVENT where MACHINE_ID = " +
                std::to_string(machine) + " and COMMAND_ID = " + std::to_string(command),
            object_.session.connection());
    if (rs.Eof()) return "none";
    const std::string id = Text(rs.Fields(size_t{0}).Value());
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof()) << "more than one machine event row";
    return id;
  }
  bool Start(int machine, int command, const dbaccess::DateTime& at, const std::string& param) {
    std::string error = "stale";
    const bool ok =
        object_.handlers.events.DoCustomStart({{1, 1, 1, machine}, command, param, at}, error);
    EXPECT_TRUE(ok) << error;
    return ok;
  }

  testsupport::TestDatabase database_;
  Components object_;
  dbaccess::DateTime t0_ = dbaccess::DateTime::FromParts(2026, 1, 5, 7, 0, 0, 250);
};

TEST_P(EventRecordsTest, AStartEndsThePreviousOpenEventOfItsCommandOnly) {
  ASSERT_TRUE(Start(1, kCoolantAlarm, t0_, "first"));
  ASSERT_TRUE(Start(2, kCoolantAlarm, t0_, ""));            // another machine
  ASSERT_TRUE(Start(1, kDoorOpen, t0_.AddSeconds(5), ""));  // another command
  ASSERT_TRUE(Start(1, kCoolantAlarm, t0_.AddSeconds(60), "second"));

  const auto events = Events(1, kCoolantAlarm);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].start, t0_.ToText());
  EXPECT_EQ(events[0].stop, t0_.AddSeconds(60).ToText());
  EXPECT_EQ(events[0].param, "first");
  EXPECT_EQ(events[1].stop, "null");
  EXPECT_EQ(OpenEvent(1, kCoolantAlarm), std::to_string(events[1].id));
  EXPECT_EQ(Events(2, kCoolantAlarm).at(0).stop, "null");
  EXPECT_EQ(Events(2, kCoolantAlarm).at(0).param, "null");  // an empty parameter is stored null
  EXPECT_EQ(Events(1, kDoorOpen).at(0).stop, "null");
}

TEST_P(EventRecordsTest, ABothEventStartsAndStopsAtOnceAndEndsTheOpenOne) {
  ASSERT_TRUE(Start(1, kCoolantAlarm, t0_, ""));
  std::string error = "stale";
  ASSERT_TRUE(object_.handlers.events.DoCustomBoth(
      {{1, 1, 1, 1}, kCoolantAlarm, "blip", t0_.AddSeconds(30)}, error))
      << error;
  EXPECT_EQ(error, "");
  const auto events = Events(1, kCoolantAlarm);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].stop, t0_.AddSeconds(30).ToText());
  EXPECT_EQ(events[1].start, t0_.AddSeconds(30).ToText());
  EXPECT_EQ(events[1].stop, events[1].start);
  EXPECT_EQ(OpenEvent(1, kCoolantAlarm), "null");

  // On a machine without any event of the command, too.
  ASSERT_TRUE(object_.handlers.events.DoCustomBoth({{1, 1, 1, 3}, kCoolantAlarm, "", t0_}, error))
      << error;
  EXPECT_EQ(OpenEvent(3, kCoolantAlarm), "null");
}

TEST_P(EventRecordsTest, AnEndClosesTheOpenEventAndWithoutOneEndsNothing) {
  std::string error = "stale";
  bool ended = true;
  EXPECT_TRUE(object_.handlers.events.SetEventStopTime(1, kCoolantAlarm, t0_, 1, &ended));
  EXPECT_FALSE(ended);  // no machine event row
  EXPECT_TRUE(object_.handlers.events.DoCustomEnd({{1, 1, 1, 1}, kCoolantAlarm, "", t0_}, error))
      << error;
  EXPECT_EQ(error, "");
  EXPECT_TRUE(Events(1, kCoolantAlarm).empty());

  ASSERT_TRUE(Start(1, kCoolantAlarm, t0_, ""));
  EXPECT_TRUE(
      object_.handlers.events.SetEventStopTime(1, kCoolantAlarm, t0_.AddSeconds(90), 1, &ended));
  EXPECT_TRUE(ended);
  EXPECT_EQ(Events(1, kCoolantAlarm).at(0).stop, t0_.AddSeconds(90).ToText());
  EXPECT_EQ(OpenEvent(1, kCoolantAlarm), "null");

  // A second end finds the row without an open event; the flag stays as given.
  ended = true;
  EXPECT_TRUE(
      object_.handlers.events.SetEventStopTime(1, kCoolantAlarm, t0_.AddSeconds(120), 1, &ended));
  EXPECT_TRUE(ended);
  EXPECT_TRUE(object_.handlers.events.DoCustomEnd(
      {{1, 1, 1, 1}, kCoolantAlarm, "", t0_.AddSeconds(120)}, error));
  EXPECT_EQ(Events(1, kCoolantAlarm).at(0).stop, t0_.AddSeconds(90).ToText());
}

TEST_P(EventRecordsTest, AFailedEventNamesItsStepAndLeavesNothingBehind) {
  object_.session.connection()->Execute(
      "ALTER TABLE T_SFC_MACHINE_EVENT RENAME TO T_SFC_MACHINE_EVENT_AWAY");
  std::string error;
  EXPECT_FALSE(
      object_.handlers.events.DoCustomStart({{1, 1, 1, 1}, kCoolantAlarm, "", t0_}, error));
  EXPECT_EQ(error.rfind("AddEventRecord(MachineID =1, CommandID =" + std::to_string(kCoolantAlarm) +
                            ", CurrentTime =" + FormatSQLDateTime(t0_) +
                            ") updating T_SFC_MACHINE_EVENT, for EventID=",
                        0),
            0u)
      << error;
  EXPECT_NE(error.find(" - "), std::string::npos);
  EXPECT_FALSE(object_.session.connection()->InTransaction());
  object_.session.connection()->Execute(
      "ALTER TABLE T_SFC_MACHINE_EVENT_AWAY RENAME TO T_SFC_MACHINE_EVENT");
  EXPECT_TRUE(Events(1, kCoolantAlarm).empty());
}

TEST_P(EventRecordsTest, ASyntheticCommandRunsItsHandlerWithTheValuesItCarries) {
  // A custom start the monitor posts for machine 4; as its commands do, it
  // carries the group (1) and time stamp of the row being processed.
  LogEntry command;
  command.lCommandID = kDoorOpen;
  command.lCommandTimeCode = 0;
  command.machine = {2, 2, 1, 4};
  command.strParam = "synthetic";
  command.dtTime = t0_;
  std::string error = "stale";
  object_.monitor.PostHeartbeatCommand(command, error);
  EXPECT_EQ(error, "");
  const auto events = Events(4, kDoorOpen);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].start, t0_.ToText());
  EXPECT_EQ(events[0].group, 1);
  EXPECT_EQ(events[0].param, "synthetic");

  // A synthetic command whose handler fails hands its text over.
  object_.session.connection()->Execute(
      "ALTER TABLE T_SFC_DT_PER_MACHINE_DATA RENAME TO T_SFC_DT_AWAY");
  command.lCommandID = 8;  // a setup start, failing
  command.strParam = "";
  object_.monitor.PostHeartbeatCommand(command, error);
  EXPECT_NE(base::Lower(error).find("t_sfc_dt_per_machine_data"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(AllKinds, EventRecordsTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
