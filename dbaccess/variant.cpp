// Variant conversions: the rules the records' code relies on when it turns a
// field value into a number, a text or a date-time.
//
// Text to number accepts decimal text (optional sign, optional fraction and
// exponent) between blanks; integers convert exactly, doubles round half to
// even. Numbers become plain decimal text (no exponent, no trailing ".0");
// doubles use the shortest text that reads back to the same value. Booleans
// count as 1 and 0. Failures raise DbError 13 (type mismatch), 94 (null) or
// 6 (overflow). Pure functions; safe from any thread.
#include "dbaccess/variant.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

#include "base/ascii_case.h"
#include "dbaccess/db_error.h"

namespace dbaccess {
namespace {

[[noreturn]] void ThrowTypeMismatch() { throw DbError(kErrTypeMismatch, "Type mismatch"); }
[[noreturn]] void ThrowNull() { throw DbError(kErrInvalidUseOfNull, "Invalid use of Null"); }
[[noreturn]] void ThrowOverflow() { throw DbError(kErrOverflow, "Overflow"); }

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// Drops a leading "+", which from_chars does not accept; refuses "inf", "nan"
// and hexadecimal forms by demanding a digit or "." after the sign.
std::optional<std::string_view> NumberBody(std::string_view text) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const size_t lead = (!text.empty() && text.front() == '-') ? 1 : 0;
  if (text.size() <= lead) return std::nullopt;
  const char c = text[lead];
  if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') return std::nullopt;
  return text;
}

std::optional<int64_t> ParseInteger(std::string_view text) {
  auto body = NumberBody(text);
  if (!body) return std::nullopt;
  int64_t value = 0;
  auto [end, ec] = std::from_chars(body->data(), body->data() + body->size(), value);
  if (ec != std::errc() || end != body->data() + body->size()) return std::nullopt;
  return value;
}

std::optional<double> ParseDouble(std::string_view text) {
  auto body = NumberBody(text);
  if (!body) return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(body->data(), body->data() + body->size(), value);
  if (ec != std::errc() || end != body->data() + body->size()) return std::nullopt;
  return value;
}

int64_t RoundHalfEvenChecked(double value) {
  if (!std::isfinite(value)) ThrowOverflow();
  const double rounded = std::nearbyint(value);  // the default mode rounds half to even
  // 2^63 is exact in a double; anything at or beyond it does not fit.
  if (rounded >= 9223372036854775808.0 || rounded < -9223372036854775808.0) ThrowOverflow();
  return static_cast<int64_t>(rounded);
}

// Rewrites "d.ddde+NN" as plain decimal digits.
std::string ExpandExponent(const std::string& text) {
  const auto e = text.find_first_of("eE");
  if (e == std::string::npos) return text;
  std::string mantissa = text.substr(0, e);
  const int exponent = std::stoi(text.substr(e + 1));
  const bool negative = !mantissa.empty() && mantissa.front() == '-';
  if (negative) mantissa.erase(0, 1);
  const auto dot = mantissa.find('.');
  std::string digits = mantissa;
  int point = static_cast<int>(mantissa.size());
  if (dot != std::string::npos) {
    digits.erase(dot, 1);
    point = static_cast<int>(dot);
  }
  point += exponent;
  std::string out;
  if (point <= 0) {
    out = "0." + std::string(static_cast<size_t>(-point), '0') + digits;
  } else if (point >= static_cast<int>(digits.size())) {
    out = digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
  } else {
    out = digits.substr(0, static_cast<size_t>(point)) + "." +
          digits.substr(static_cast<size_t>(point));
  }
  return negative ? "-" + out : out;
}

std::string DoubleText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  if (value == 0) return "0";  // also for -0.0
  return ExpandExponent(fmt::format("{}", value));
}

}  // namespace

VariantType Variant::Type() const {
  switch (value_.index()) {
    case 0:
      return VariantType::kEmpty;
    case 1:
      return VariantType::kNull;
    case 2:
      return VariantType::kInteger;
    case 3:
      return VariantType::kDouble;
    case 4:
      return VariantType::kBool;
    case 5:
      return VariantType::kText;
    default:
      return VariantType::kDateTime;
  }
}

bool Variant::IsNumeric() const {
  switch (Type()) {
    case VariantType::kInteger:
    case VariantType::kDouble:
    case VariantType::kBool:
      return true;
    case VariantType::kText:
      return ParseDouble(std::get<std::string>(value_)).has_value();
    default:
      return false;
  }
}

std::string Variant::ToText() const {
  switch (Type()) {
    case VariantType::kEmpty:
      return "";
    case VariantType::kNull:
      ThrowNull();
    case VariantType::kInteger:
      return std::to_string(std::get<int64_t>(value_));
    case VariantType::kDouble:
      return DoubleText(std::get<double>(value_));
    case VariantType::kBool:
      return std::get<bool>(value_) ? "True" : "False";
    case VariantType::kText:
      return std::get<std::string>(value_);
    case VariantType::kDateTime:
      return std::get<DateTime>(value_).ToText();
  }
  ThrowTypeMismatch();
}

int64_t Variant::ToInt64() const {
  switch (Type()) {
    case VariantType::kEmpty:
      return 0;
    case VariantType::kNull:
      ThrowNull();
    case VariantType::kInteger:
      return std::get<int64_t>(value_);
    case VariantType::kDouble:
      return RoundHalfEvenChecked(std::get<double>(value_));
    case VariantType::kBool:
      return std::get<bool>(value_) ? 1 : 0;
    case VariantType::kText: {
      const std::string& text = std::get<std::string>(value_);
      if (auto exact = ParseInteger(text)) return *exact;
      if (auto number = ParseDouble(text)) return RoundHalfEvenChecked(*number);
      ThrowTypeMismatch();
    }
    case VariantType::kDateTime:
      return RoundHalfEvenChecked(std::get<DateTime>(value_).ToSerialDays());
  }
  ThrowTypeMismatch();
}

int32_t Variant::ToLong() const {
  const int64_t value = ToInt64();
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    ThrowOverflow();
  }
  return static_cast<int32_t>(value);
}

double Variant::ToDouble() const {
  switch (Type()) {
    case VariantType::kEmpty:
      return 0;
    case VariantType::kNull:
      ThrowNull();
    case VariantType::kInteger:
      return static_cast<double>(std::get<int64_t>(value_));
    case VariantType::kDouble:
      return std::get<double>(value_);
    case VariantType::kBool:
      return std::get<bool>(value_) ? 1 : 0;
    case VariantType::kText:
      if (auto number = ParseDouble(std::get<std::string>(value_))) return *number;
      ThrowTypeMismatch();
    case VariantType::kDateTime:
      return std::get<DateTime>(value_).ToSerialDays();
  }
  ThrowTypeMismatch();
}

bool Variant::ToBool() const {
  switch (Type()) {
    case VariantType::kEmpty:
      return false;
    case VariantType::kNull:
      ThrowNull();
    case VariantType::kBool:
      return std::get<bool>(value_);
    case VariantType::kText: {
      const std::string lower = base::Lower(TrimBlanks(std::get<std::string>(value_)));
      if (lower == "true") return true;
      if (lower == "false") return false;
      if (auto number = ParseDouble(lower)) return *number != 0;
      ThrowTypeMismatch();
    }
    default:
      return ToDouble() != 0;
  }
}

DateTime Variant::ToDateTime() const {
  switch (Type()) {
    case VariantType::kEmpty:
      return DateTime();
    case VariantType::kNull:
      ThrowNull();
    case VariantType::kInteger:
    case VariantType::kDouble:
      return DateTime::FromSerialDays(ToDouble());
    case VariantType::kText:
      if (auto parsed = DateTime::Parse(TrimBlanks(std::get<std::string>(value_)))) return *parsed;
      ThrowTypeMismatch();
    case VariantType::kDateTime:
      return std::get<DateTime>(value_);
    case VariantType::kBool:
      break;
  }
  ThrowTypeMismatch();
}

std::string Variant::Describe() const {
  if (IsNull()) return "Null";
  return ToText();  // cannot raise for any other type
}

}  // namespace dbaccess
