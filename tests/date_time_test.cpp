#include "dbaccess/date_time.h"

#include <gtest/gtest.h>

namespace dbaccess {
namespace {

TEST(DateTimeTest, ZeroIsTheSerialEpoch) {
  DateTime zero;
  EXPECT_EQ(zero.ToText(), "1899-12-30 00:00:00.000");
  EXPECT_DOUBLE_EQ(zero.ToSerialDays(), 0.0);
}

TEST(DateTimeTest, CanonicalTextRoundTrips) {
  auto parsed = DateTime::Parse("2026-03-01 23:59:58.123");
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->ToText(), "2026-03-01 23:59:58.123");
  EXPECT_EQ(parsed->AddMilliseconds(1877).ToText(), "2026-03-02 00:00:00.000");
}

TEST(DateTimeTest, ParseAcceptsShorterFormsAndRejectsBadDates) {
  EXPECT_EQ(DateTime::Parse("2024-02-29")->ToText(), "2024-02-29 00:00:00.000");
  EXPECT_EQ(DateTime::Parse("2024-02-29T07:05")->ToText(), "2024-02-29 07:05:00.000");
  EXPECT_EQ(DateTime::Parse("2024-02-29 07:05:09.5")->ToText(), "2024-02-29 07:05:09.500");
  EXPECT_EQ(DateTime::Parse("2024-02-29 07:05:09.123456")->Millisecond(), 123);
  EXPECT_FALSE(DateTime::Parse("2023-02-29").has_value());
  EXPECT_FALSE(DateTime::Parse("2023-13-01").has_value());
  EXPECT_FALSE(DateTime::Parse("2023-01-01 24:00").has_value());
  EXPECT_FALSE(DateTime::Parse("yesterday").has_value());
  EXPECT_FALSE(DateTime::Parse("2023-01-01 10:00:00.").has_value());
}

TEST(DateTimeTest, SerialDaysMatchTheRecordsConvention) {
  DateTime t = DateTime::FromParts(1899, 12, 29, 6, 0, 0);
  EXPECT_DOUBLE_EQ(t.ToSerialDays(), -1.25);
  EXPECT_EQ(DateTime::FromSerialDays(-1.25), t);
  DateTime noon = DateTime::FromParts(2026, 12, 9, 12, 0, 0);
  EXPECT_EQ(DateTime::FromSerialDays(noon.ToSerialDays()), noon);
}

TEST(DateTimeTest, NormalisesOutOfRangeParts) {
  EXPECT_EQ(DateTime::FromParts(2025, 13, 1).ToText(), "2026-01-01 00:00:00.000");
  EXPECT_EQ(DateTime::FromParts(2026, 3, 0).ToText(), "2026-02-28 00:00:00.000");
  EXPECT_EQ(DateTime::FromParts(1970, 1, 1).DayOfWeek(), 5);  // Thursday
}

TEST(DateTimeTest, SecondsUntilCountsSecondBoundaries) {
  DateTime a = DateTime::FromParts(2026, 1, 1, 10, 0, 0, 900);
  EXPECT_EQ(a.SecondsUntil(a.AddMilliseconds(200)), 1);
  EXPECT_EQ(a.SecondsUntil(a.AddMilliseconds(50)), 0);
  EXPECT_EQ(a.AddSeconds(5).SecondsUntil(a), -5);
}

}  // namespace
}  // namespace dbaccess
