// The string table, LoadResMessage's placeholder rules and MessageTextForId.
#include "library/session/string_table.h"

#include <gtest/gtest.h>

#include "library/session/message_text.h"

using namespace korvex7::internal;  // the library's internals

namespace {

TEST(StringTableTest, HoldsExactlyIds101And103To125) {
  EXPECT_EQ(LoadResMessage(101), "Refresh Machine Status failed.");
  EXPECT_EQ(LoadResMessage(103), "Logon Start failed because the database is currently locked.");
  EXPECT_EQ(LoadResMessage(115),
            "Machine Downtime Start failed because the database is currently locked.");
  EXPECT_EQ(LoadResMessage(125), "Custom Both failed because the database is currently locked.");
  for (int32_t id = 103; id <= 125; ++id) {
    const std::string text = LoadResMessage(id);
    EXPECT_NE(text.find(" failed because the database is currently locked."), std::string::npos)
        << id;
  }
  for (int32_t id : {-1, 0, 100, 102, 126, 6808}) {
    EXPECT_EQ(LoadResMessage(id), "###STRING RESOURCE ERROR###") << id;
  }
}

TEST(StringTableTest, TextsWithoutPlaceholdersIgnoreInserts) {
  EXPECT_EQ(LoadResMessage(119, "M-17", "x"), LoadResMessage(119));
}

TEST(StringTableTest, OnlyTheFirstOccurrenceOfAPlaceholderIsReplaced) {
  EXPECT_EQ(FillPlaceholders("%1 then %1", {"A"}), "A then %1");
}

TEST(StringTableTest, EmptyInsertsLeaveTheirPlaceholders) {
  EXPECT_EQ(FillPlaceholders("<%1|%2|%7>", {"", "two", "", "", "", "", "seven"}), "<%1|two|seven>");
}

TEST(StringTableTest, InsertsApplyInOrderToTheGrowingText) {
  // An insert may itself carry a later placeholder, which the later insert fills.
  EXPECT_EQ(FillPlaceholders("%1", {"[%2]", "B"}), "[B]");
}

TEST(MessageTextTest, KnowsFailedLogonAndTheDatabaseLabels) {
  EXPECT_EQ(MessageTextForId(6808), "Failed Logon");
  EXPECT_EQ(MessageTextForId(6807), "Unknown id #6807");
  EXPECT_EQ(MessageTextForId(-3), "Unknown id #-3");
  EXPECT_NE(MessageTextForId(830).find("Oracle"), std::string::npos);
  EXPECT_NE(MessageTextForId(831).find("Access"), std::string::npos);
  EXPECT_NE(MessageTextForId(832).find("SQL Server"), std::string::npos);
  EXPECT_EQ(MessageTextForId(835), "Unknown id #835");
}

}  // namespace
