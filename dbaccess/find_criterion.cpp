// FindCriterion parsing and matching; see find_criterion.h for the forms.
#include "dbaccess/find_criterion.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "base/ascii_case.h"
#include "dbaccess/db_error.h"

namespace dbaccess {
namespace {

[[noreturn]] void ThrowMalformed(const std::string& text) {
  throw DbError(kErrInvalidArgument,
                "Arguments are of the wrong type, are out of acceptable range, or are in "
                "conflict with one another. (criterion \"" +
                    text + "\")");
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int Sign(double difference) { return difference < 0 ? -1 : (difference > 0 ? 1 : 0); }

// Three-way comparison of a field value with the literal, or nullopt when the
// two cannot be compared.
std::optional<int> Compare(const Variant& field, const Variant& literal) {
  if (field.IsNull() || field.IsEmpty()) return std::nullopt;
  try {
    if (field.Type() == VariantType::kDateTime || literal.Type() == VariantType::kDateTime) {
      if (field.Type() == VariantType::kText && !DateTime::Parse(field.ToText())) {
        return std::nullopt;
      }
      const DateTime a = field.ToDateTime();
      const DateTime b = literal.ToDateTime();
      return a < b ? -1 : (b < a ? 1 : 0);
    }
    if (field.Type() == VariantType::kText && literal.Type() == VariantType::kText) {
      const std::string a = base::Lower(field.ToText());
      const std::string b = base::Lower(literal.ToText());
      return a < b ? -1 : (b < a ? 1 : 0);
    }
    if (field.Type() == VariantType::kInteger && literal.Type() == VariantType::kInteger) {
      const int64_t a = field.ToInt64();  // exact beyond 2^53
      const int64_t b = literal.ToInt64();
      return a < b ? -1 : (b < a ? 1 : 0);
    }
    if (!field.IsNumeric() || !literal.IsNumeric()) return std::nullopt;
    return Sign(field.ToDouble() - literal.ToDouble());
  } catch (const DbError&) {
    return std::nullopt;
  }
}

}  // namespace

FindCriterion FindCriterion::Parse(const std::string& text) {
  FindCriterion criterion;
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  // Column name, optionally in brackets.
  if (pos < text.size() && text[pos] == '[') {
    const auto close = text.find(']', pos);
    if (close == std::string::npos) ThrowMalformed(text);
    criterion.column_ = text.substr(pos + 1, close - pos - 1);
    pos = close + 1;
  } else {
    const size_t start = pos;
    while (pos < text.size() && (std::isalnum(static_cast<unsigned char>(text[pos])) ||
                                 text[pos] == '_' || text[pos] == '.')) {
      ++pos;
    }
    criterion.column_ = text.substr(start, pos - start);
  }
  if (criterion.column_.empty()) ThrowMalformed(text);
  while (pos < text.size() && IsBlank(text[pos])) ++pos;

  // Operator: longest match first.
  static const std::pair<const char*, Op> kOps[] = {
      {"<>", Op::kNotEqual}, {"<=", Op::kLessEqual}, {">=", Op::kGreaterEqual},
      {"=", Op::kEqual},     {"<", Op::kLess},       {">", Op::kGreater}};
  bool found = false;
  for (const auto& [symbol, op] : kOps) {
    const std::string s(symbol);
    if (text.compare(pos, s.size(), s) == 0) {
      criterion.op_ = op;
      pos += s.size();
      found = true;
      break;
    }
  }
  if (!found) ThrowMalformed(text);
  while (pos < text.size() && IsBlank(text[pos])) ++pos;

  // Literal.
  std::string rest = text.substr(pos);
  while (!rest.empty() && IsBlank(rest.back())) rest.pop_back();
  if (rest.empty()) ThrowMalformed(text);
  if (rest.front() == '\'') {
    if (rest.size() < 2 || rest.back() != '\'') ThrowMalformed(text);
    std::string value;
    for (size_t i = 1; i + 1 < rest.size(); ++i) {
      if (rest[i] == '\'') {
        if (i + 2 >= rest.size() || rest[i + 1] != '\'') ThrowMalformed(text);
        ++i;
      }
      value += rest[i];
    }
    criterion.literal_ = Variant(value);
  } else if (rest.front() == '#') {
    if (rest.size() < 2 || rest.back() != '#') ThrowMalformed(text);
    auto date = DateTime::Parse(rest.substr(1, rest.size() - 2));
    if (!date) ThrowMalformed(text);
    criterion.literal_ = Variant(*date);
  } else {
    const Variant number(rest);
    if (!number.IsNumeric()) ThrowMalformed(text);
    const bool integral = rest.find_first_of(".eE") == std::string::npos;
    criterion.literal_ =
        integral ? Variant(static_cast<long long>(number.ToInt64())) : Variant(number.ToDouble());
  }
  return criterion;
}

bool FindCriterion::Matches(const Variant& field_value) const {
  const std::optional<int> order = Compare(field_value, literal_);
  if (!order) return false;
  switch (op_) {
    case Op::kEqual:
      return *order == 0;
    case Op::kNotEqual:
      return *order != 0;
    case Op::kLess:
      return *order < 0;
    case Op::kGreater:
      return *order > 0;
    case Op::kLessEqual:
      return *order <= 0;
    case Op::kGreaterEqual:
      return *order >= 0;
  }
  return false;
}

}  // namespace dbaccess
