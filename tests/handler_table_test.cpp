// The handler table: which handler a command's type code and time code
// choose, and the time format of the event traces.
#include "library/handlers/handler_table.h"

#include <gtest/gtest.h>

#include "library/session/sql_date_time.h"

namespace {

using H = CommandHandler;

TEST(CommandDispatchTableTest, BuiltInCommandsHaveAStartAndAnEndButNoBoth) {
  EXPECT_EQ(HandlerForCommand(4, 0), H::kLogonStart);
  EXPECT_EQ(HandlerForCommand(4, 1), H::kLogonEnd);
  EXPECT_EQ(HandlerForCommand(9, 0), H::kCycleStart);
  EXPECT_EQ(HandlerForCommand(11, 1), H::kMachineDowntimeEnd);
  EXPECT_EQ(HandlerForCommand(17, 1), H::kPartSerialNoEnd);
  for (int type_code : {4, 5, 6, 7, 8, 9, 10, 11, 12, 17}) {
    EXPECT_EQ(HandlerForCommand(type_code, 2), H::kNone) << type_code;
  }
}

TEST(CommandDispatchTableTest, CountsIdleAndHeartbeatsIgnoreTheTimeCode) {
  for (int time_code : {0, 1, 2}) {
    EXPECT_EQ(HandlerForCommand(13, time_code), H::kGoodPartCount);
    EXPECT_EQ(HandlerForCommand(14, time_code), H::kScrappedPartCount);
    EXPECT_EQ(HandlerForCommand(15, time_code), H::kHeartbeat);
    EXPECT_EQ(HandlerForCommand(16, time_code), H::kIdleStart);
  }
  EXPECT_STREQ(CommandHandlerName(H::kHeartbeat), "DoProcessHeartBeatCommand");
  EXPECT_STREQ(CommandHandlerName(H::kOpStart), "DoOpStart");
}

TEST(CommandDispatchTableTest, EveryOtherTypeCodeIsACustomCommand) {
  for (int type_code : {-1, 0, 1, 2, 3, 18, 20, 999}) {
    EXPECT_EQ(HandlerForCommand(type_code, 0), H::kCustomStart) << type_code;
    EXPECT_EQ(HandlerForCommand(type_code, 1), H::kCustomEnd) << type_code;
    EXPECT_EQ(HandlerForCommand(type_code, 2), H::kCustomBoth) << type_code;
  }
}

TEST(CommandDispatchTableTest, AnUnknownTimeCodeCallsNothing) {
  for (int time_code : {-1, 3}) {
    EXPECT_EQ(HandlerForCommand(9, time_code), H::kNone);
    EXPECT_EQ(HandlerForCommand(13, time_code), H::kNone);
    EXPECT_EQ(HandlerForCommand(20, time_code), H::kNone);
  }
}

TEST(FormatSQLDateTimeTest, AlwaysCarriesThreeDigitsOfMilliseconds) {
  EXPECT_EQ(FormatSQLDateTime(dbaccess::DateTime::FromParts(2026, 3, 7, 5, 4, 9, 7)),
            "2026-03-07 05:04:09.007");
  EXPECT_EQ(FormatSQLDateTime(dbaccess::DateTime::FromParts(1999, 12, 31, 23, 59, 59, 999)),
            "1999-12-31 23:59:59.999");
}

}  // namespace
