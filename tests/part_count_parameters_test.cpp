// The count and scrap parameters: what counts as a number, half-to-even
// rounding, and the split of a scrap parameter into quantity and code.
#include "library/handlers/part_count_parameters.h"

#include <gtest/gtest.h>

using namespace korvex7::internal;  // the library's internals

namespace {

TEST(PartCountParametersTest, AGoodCountIsRoundedHalfToEven) {
  EXPECT_EQ(NormalizePartCount("7"), 7);
  EXPECT_EQ(NormalizePartCount("2.5"), 2);
  EXPECT_EQ(NormalizePartCount("3.5"), 4);
  EXPECT_EQ(NormalizePartCount("2.51"), 3);
  EXPECT_EQ(NormalizePartCount("-2.5"), -2);
  EXPECT_EQ(NormalizePartCount("-5"), -5);
  EXPECT_EQ(NormalizePartCount(" 12 "), 12);
  EXPECT_EQ(NormalizePartCount("+4"), 4);
  EXPECT_EQ(NormalizePartCount("1e2"), 100);
  EXPECT_EQ(NormalizePartCount("0"), 0);
}

TEST(PartCountParametersTest, EmptyOrNonNumericTextCountsOne) {
  for (const char* text : {"", "   ", "abc", "3 parts", "0x10", "inf", "nan", "1e", "-", ".", "1,5",
                           "1e400", "3000000000", "-3000000000"}) {
    EXPECT_EQ(NormalizePartCount(text), 1) << '"' << text << '"';
  }
}

TEST(PartCountParametersTest, AScrapParameterSplitsAtTheFirstFullStop) {
  const auto coded = ParseScrapCountParameter("3.17");
  EXPECT_EQ(coded.lQuantity, 3);
  EXPECT_EQ(coded.strCode, "17");

  // The quantity never carries a fraction: the text after the stop is the code.
  const auto fraction = ParseScrapCountParameter("2.5");
  EXPECT_EQ(fraction.lQuantity, 2);
  EXPECT_EQ(fraction.strCode, "5");

  const auto negative = ParseScrapCountParameter("-2.17");
  EXPECT_EQ(negative.lQuantity, -2);
  EXPECT_EQ(negative.strCode, "17");

  const auto dotted = ParseScrapCountParameter("4.S2.X");
  EXPECT_EQ(dotted.lQuantity, 4);
  EXPECT_EQ(dotted.strCode, "S2.X");
}

TEST(PartCountParametersTest, AScrapParameterWithoutCodeLeavesTheCodeToTheDefault) {
  for (const char* text : {"", "4", "4.", "x."}) {
    const auto scrap = ParseScrapCountParameter(text);
    EXPECT_EQ(scrap.strCode, "") << text;
  }
  EXPECT_EQ(ParseScrapCountParameter("").lQuantity, 1);
  EXPECT_EQ(ParseScrapCountParameter("4").lQuantity, 4);
  EXPECT_EQ(ParseScrapCountParameter("4.").lQuantity, 4);
  EXPECT_EQ(ParseScrapCountParameter("x.").lQuantity, 1);
  EXPECT_EQ(ParseScrapCountParameter(".S2").lQuantity, 1);
  EXPECT_EQ(ParseScrapCountParameter(".S2").strCode, "S2");
}

}  // namespace
