// Reading SHDR streams: time stamps, data lines, protocol and asset lines,
// multi-line blocks, malformed and overlong lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "mtconnect/line_buffer.h"
#include "mtconnect/shdr_line.h"
#include "mtconnect/shdr_reader.h"
#include "mtconnect/utc_time.h"

namespace mtconnect {
namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

TEST(UtcTimestamp, ReadsTheFormsAdaptersWrite) {
  // 2022-08-08T13:51:34Z is 1659966694 seconds after the epoch.
  EXPECT_EQ(ParseUtcTimestamp("2022-08-08T13:51:34.7167146Z"), 1659966694716);
  EXPECT_EQ(ParseUtcTimestamp("2022-08-08T13:51:34Z"), 1659966694000);
  EXPECT_EQ(ParseUtcTimestamp("2022-08-08T13:51:34.5"), 1659966694500);
  EXPECT_EQ(ParseUtcTimestamp("2022-08-08T13:51:34.123Z@12.5"), 1659966694123);
  EXPECT_EQ(ParseUtcTimestamp("1969-12-31T23:59:59.250Z"), -750);
  for (const char* bad :
       {"", "2022-08-08", "2022-02-30T00:00:00Z", "2022-08-08 13:51:34Z", "2022-08-08T24:00:00Z",
        "2022-08-08T13:51:34.Z", "2022-08-08T13:51:34.1x", "-022-08-08T13:51:34Z", "1659966694"}) {
    EXPECT_FALSE(ParseUtcTimestamp(bad).has_value()) << bad;
  }
}

TEST(UtcTimestamp, LocalWallClockFollowsTheZoneAndItsSummerTime) {
  const char* saved = std::getenv("TZ");
  const std::string previous = saved == nullptr ? "" : saved;
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  EXPECT_EQ(LocalWallClock(*ParseUtcTimestamp("2022-08-08T13:51:34.716Z")).ToText(),
            "2022-08-08 15:51:34.716");
  EXPECT_EQ(LocalWallClock(*ParseUtcTimestamp("2022-01-10T23:30:00.000Z")).ToText(),
            "2022-01-11 00:30:00.000");
  if (saved == nullptr) {
    unsetenv("TZ");
  } else {
    setenv("TZ", previous.c_str(), 1);
  }
  tzset();
}

TEST(ShdrLine, PairsItemsAndValuesInOrder) {
  const ShdrLine line =
      ParseShdrLine("2022-08-08T13:51:34Z|avail|AVAILABLE|p1block||estop|ARMED\r");
  ASSERT_EQ(line.kind, ShdrLineKind::kData);
  EXPECT_EQ(line.utc_ms, 1659966694000);
  EXPECT_EQ(line.items, (Items{{"avail", "AVAILABLE"}, {"p1block", ""}, {"estop", "ARMED"}}));
  // A condition on its own line; a message's odd last field stays unused.
  EXPECT_EQ(ParseShdrLine("2022-08-08T13:51:34Z|system|NORMAL||||").items,
            (Items{{"system", "NORMAL"}}));
  EXPECT_EQ(ParseShdrLine("2022-08-08T13:51:34Z|msg|CODE|text").items, (Items{{"msg", "CODE"}}));
}

TEST(ShdrLine, TellsProtocolAssetBlankAndMalformedLinesApart) {
  EXPECT_EQ(ParseShdrLine("* PONG 10000").kind, ShdrLineKind::kProtocol);
  EXPECT_EQ(ParseShdrLine("* PONG 10000").text, "PONG 10000");
  EXPECT_EQ(ParseShdrLine("  \r").kind, ShdrLineKind::kBlank);
  const ShdrLine asset =
      ParseShdrLine("2022-08-08T13:43:36Z|@ASSET@|1.2|CuttingTool|--multiline--AB");
  EXPECT_EQ(asset.kind, ShdrLineKind::kAsset);
  EXPECT_EQ(asset.block_end, "--multiline--AB");
  EXPECT_EQ(ParseShdrLine("2022-08-08T13:43:36Z|@REMOVE_ALL_ASSETS@|CuttingTool").kind,
            ShdrLineKind::kAsset);
  EXPECT_EQ(ParseShdrLine("13:43:36|execution|ACTIVE").kind, ShdrLineKind::kMalformed);
  EXPECT_EQ(ParseShdrLine("2022-08-08T13:43:36Z|execution").kind, ShdrLineKind::kMalformed);
  EXPECT_EQ(ParseShdrLine("garbage").kind, ShdrLineKind::kMalformed);
}

TEST(ShdrReader, SkipsMultiLineBlocksAndCountsEveryKind) {
  ShdrReader reader;
  EXPECT_EQ(reader.Next("2022-08-08T13:43:36Z|@ASSET@|1.2|CuttingTool|--multiline--AB").kind,
            ShdrLineKind::kAsset);
  // Inside the block even a line that looks like data is skipped.
  EXPECT_EQ(reader.Next("2022-08-08T13:43:37Z|execution|ACTIVE").kind, ShdrLineKind::kAsset);
  EXPECT_EQ(reader.Next("--multiline--AB\r").kind, ShdrLineKind::kAsset);
  EXPECT_EQ(reader.Next("2022-08-08T13:43:38Z|execution|ACTIVE").kind, ShdrLineKind::kData);
  EXPECT_EQ(reader.Next("not a line").kind, ShdrLineKind::kMalformed);
  // A data value opening a block: the value is left out, the block skipped.
  const ShdrLine data = reader.Next("2022-08-08T13:43:39Z|program|P1|notes|--multiline--X");
  EXPECT_EQ(data.items, (Items{{"program", "P1"}}));
  EXPECT_TRUE(reader.InBlock());
  reader.Reset();
  EXPECT_FALSE(reader.InBlock());
  EXPECT_EQ(reader.counts().lines, 6u);
  EXPECT_EQ(reader.counts().data_lines, 2u);
  EXPECT_EQ(reader.counts().skipped_lines, 3u);
  EXPECT_EQ(reader.counts().malformed_lines, 1u);
}

TEST(LineBuffer, KeepsLongLinesWholeAndDropsOverlongOnes) {
  LineBuffer buffer(1000);
  std::string line;
  bool overlong = false;
  const std::string long_value(900, 'x');
  buffer.Append("a|");
  EXPECT_FALSE(buffer.Next(line, overlong));
  buffer.Append(long_value + "\nb\n");
  ASSERT_TRUE(buffer.Next(line, overlong));
  EXPECT_EQ(line, "a|" + long_value);
  ASSERT_TRUE(buffer.Next(line, overlong));
  EXPECT_EQ(line, "b");
  // Longer than the limit, in pieces: dropped whole, the next line intact.
  for (int i = 0; i < 5; ++i) {
    buffer.Append(std::string(600, 'y'));
    EXPECT_FALSE(buffer.Next(line, overlong));
  }
  buffer.Append("tail\nnext\n");
  ASSERT_TRUE(buffer.Next(line, overlong));
  EXPECT_TRUE(overlong);
  ASSERT_TRUE(buffer.Next(line, overlong));
  EXPECT_FALSE(overlong);
  EXPECT_EQ(line, "next");
}

}  // namespace
}  // namespace mtconnect
