// The handler table: which handler a command's type code and time code
// choose, and the time format of the event traces.
#include "library/handlers/handler_table.h"

#include <gtest/gtest.h>

#include <string>

#include "library/session/sql_date_time.h"

using namespace korvex7::internal;  // the library's internals

namespace {

// The name of the handler the pair chooses ("" for none), as the trace shows it.
std::string Chosen(int type_code, int time_code) {
  const CommandHandler* handler = HandlerForCommand(type_code, time_code);
  return handler == nullptr ? "" : handler->name;
}

TEST(CommandDispatchTableTest, BuiltInCommandsHaveAStartAndAnEndButNoBoth) {
  EXPECT_EQ(Chosen(4, 0), "DoLogonStart");
  EXPECT_EQ(Chosen(4, 1), "DoLogonEnd");
  EXPECT_EQ(Chosen(7, 0), "DoOpStart");
  EXPECT_EQ(Chosen(9, 0), "DoCycleStart");
  EXPECT_EQ(Chosen(11, 1), "DoMachineDowntimeEnd");
  EXPECT_EQ(Chosen(17, 1), "DoPartSerialNoEnd");
  for (int type_code : {4, 5, 6, 7, 8, 9, 10, 11, 12, 17}) {
    EXPECT_EQ(Chosen(type_code, 2), "") << type_code;
  }
}

TEST(CommandDispatchTableTest, CountsIdleAndHeartbeatsIgnoreTheTimeCode) {
  for (int time_code : {0, 1, 2}) {
    EXPECT_EQ(Chosen(13, time_code), "DoGoodPartCount");
    EXPECT_EQ(Chosen(14, time_code), "DoScrappedPartCount");
    EXPECT_EQ(Chosen(15, time_code), "DoProcessHeartBeatCommand");
    EXPECT_EQ(Chosen(16, time_code), "DoIdleStart");
  }
}

TEST(CommandDispatchTableTest, EveryOtherTypeCodeIsACustomCommand) {
  for (int type_code : {-1, 0, 1, 2, 3, 18, 20, 999}) {
    EXPECT_EQ(Chosen(type_code, 0), "DoCustomStart") << type_code;
    EXPECT_EQ(Chosen(type_code, 1), "DoCustomEnd") << type_code;
    EXPECT_EQ(Chosen(type_code, 2), "DoCustomBoth") << type_code;
  }
}

TEST(CommandDispatchTableTest, AnUnknownTimeCodeCallsNothing) {
  for (int time_code : {-1, 3}) {
    EXPECT_EQ(HandlerForCommand(9, time_code), nullptr);
    EXPECT_EQ(HandlerForCommand(13, time_code), nullptr);
    EXPECT_EQ(HandlerForCommand(20, time_code), nullptr);
  }
}

TEST(FormatSQLDateTimeTest, AlwaysCarriesThreeDigitsOfMilliseconds) {
  EXPECT_EQ(FormatSQLDateTime(dbaccess::DateTime::FromParts(2026, 3, 7, 5, 4, 9, 7)),
            "2026-03-07 05:04:09.007");
  EXPECT_EQ(FormatSQLDateTime(dbaccess::DateTime::FromParts(1999, 12, 31, 23, 59, 59, 999)),
            "1999-12-31 23:59:59.999");
}

}  // namespace
