#include "dbaccess/variant.h"

#include <gtest/gtest.h>

#include <functional>

#include "dbaccess/db_error.h"

namespace dbaccess {
namespace {

int32_t ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const DbError& error) {
    return error.number();
  }
  return 0;
}

TEST(VariantTest, TextToNumberAcceptsDecimalTextBetweenBlanks) {
  EXPECT_EQ(Variant(" 12 ").ToInt64(), 12);
  EXPECT_EQ(Variant("+7").ToLong(), 7);
  EXPECT_DOUBLE_EQ(Variant("-3.25").ToDouble(), -3.25);
  EXPECT_DOUBLE_EQ(Variant("1e3").ToDouble(), 1000.0);
  EXPECT_EQ(Variant("9223372036854775807").ToInt64(), INT64_MAX);  // exact, not via double
  for (const char* bad : {"", " ", "abc", "12abc", "inf", "nan", "0x10", "--1"}) {
    EXPECT_EQ(ErrorOf([&] { Variant(bad).ToDouble(); }), kErrTypeMismatch) << bad;
    EXPECT_FALSE(Variant(bad).IsNumeric()) << bad;
  }
}

TEST(VariantTest, IntegerConversionRoundsHalfToEven) {
  EXPECT_EQ(Variant(2.5).ToInt64(), 2);
  EXPECT_EQ(Variant(3.5).ToInt64(), 4);
  EXPECT_EQ(Variant(-2.5).ToInt64(), -2);
  EXPECT_EQ(Variant(2.5000001).ToInt64(), 3);
  EXPECT_EQ(Variant("4.5").ToLong(), 4);
  EXPECT_EQ(ErrorOf([] { Variant(1e19).ToInt64(); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(2147483648LL).ToLong(); }), kErrOverflow);
  EXPECT_EQ(Variant(-2147483648LL).ToLong(), INT32_MIN);
}

TEST(VariantTest, NumbersBecomePlainDecimalText) {
  EXPECT_EQ(Variant(5).ToText(), "5");
  EXPECT_EQ(Variant(-42LL).ToText(), "-42");
  EXPECT_EQ(Variant(5.0).ToText(), "5");
  EXPECT_EQ(Variant(0.1).ToText(), "0.1");
  EXPECT_EQ(Variant(1.0 / 3).ToText(), "0.3333333333333333");
  EXPECT_EQ(Variant(1e20).ToText(), "100000000000000000000");
  EXPECT_EQ(Variant(-1.5e-7).ToText(), "-0.00000015");
  EXPECT_EQ(Variant(-0.0).ToText(), "0");
  EXPECT_EQ(Variant(true).ToText(), "True");
  EXPECT_EQ(Variant(DateTime::FromParts(2026, 1, 2, 3, 4, 5, 6)).ToText(),
            "2026-01-02 03:04:05.006");
}

TEST(VariantTest, NullRefusesConversionAndEmptyIsZero) {
  const Variant null = Variant::Null();
  EXPECT_EQ(ErrorOf([&] { null.ToText(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([&] { null.ToInt64(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([&] { null.ToDouble(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([&] { null.ToBool(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([&] { null.ToDateTime(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(null.Describe(), "Null");

  const Variant empty;
  EXPECT_EQ(empty.ToText(), "");
  EXPECT_EQ(empty.ToInt64(), 0);
  EXPECT_FALSE(empty.ToBool());
  EXPECT_EQ(empty.ToDateTime(), DateTime());
  EXPECT_EQ(empty.Describe(), "");
}

TEST(VariantTest, BooleansFromTextAndNumbers) {
  EXPECT_TRUE(Variant(" TRUE ").ToBool());
  EXPECT_FALSE(Variant("false").ToBool());
  EXPECT_FALSE(Variant("0").ToBool());
  EXPECT_TRUE(Variant("-1").ToBool());
  EXPECT_TRUE(Variant(0.5).ToBool());
  EXPECT_EQ(ErrorOf([] { Variant("yes").ToBool(); }), kErrTypeMismatch);
  EXPECT_EQ(Variant(true).ToInt64(), 1);
  EXPECT_DOUBLE_EQ(Variant(false).ToDouble(), 0.0);
}

TEST(VariantTest, DateTimesFromTextAndSerialDays) {
  const DateTime expected = DateTime::FromParts(2024, 2, 29, 6, 30, 0, 250);
  EXPECT_EQ(Variant("2024-02-29 06:30:00.250").ToDateTime(), expected);
  EXPECT_EQ(Variant(expected.ToSerialDays()).ToDateTime(), expected);
  EXPECT_EQ(Variant(1LL).ToDateTime(), DateTime::FromParts(1899, 12, 31));
  EXPECT_EQ(ErrorOf([] { Variant("2024-02-30").ToDateTime(); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Variant(true).ToDateTime(); }), kErrTypeMismatch);
  // Serial days count as numbers, rounded to whole days.
  EXPECT_EQ(Variant(DateTime::FromParts(1900, 1, 1, 13)).ToInt64(), 3);
}

TEST(VariantTest, TypesAndEquality) {
  EXPECT_EQ(Variant(1).Type(), VariantType::kInteger);
  EXPECT_EQ(Variant(1.0).Type(), VariantType::kDouble);
  EXPECT_EQ(Variant("x").Type(), VariantType::kText);
  EXPECT_TRUE(Variant("12.5").IsNumeric());
  EXPECT_FALSE(Variant(DateTime()).IsNumeric());
  EXPECT_FALSE(Variant::Null().IsNumeric());
  EXPECT_EQ(Variant(3), Variant(3LL));
  EXPECT_FALSE(Variant(3) == Variant(3.0));  // equality is by type and value
}

}  // namespace
}  // namespace dbaccess
