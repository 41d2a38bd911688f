// Variant: one database or scripting value: empty, null, 64-bit integer,
// double, boolean, text (UTF-8) or DateTime.
//
// Conversions follow the records' rules: text to number accepts decimal text
// with optional sign and surrounding blanks; numbers become decimal text;
// date-times become the canonical text "YYYY-MM-DD HH:MM:SS.SSS"; empty
// converts to 0 or ""; null cannot be converted to a number or text and raises
// DbError 94 ("Invalid use of Null"). A value that cannot be converted raises
// DbError 13 ("Type mismatch"). Copyable value type.
#ifndef VOLTRANE_DBACCESS_VARIANT_H_
#define VOLTRANE_DBACCESS_VARIANT_H_

#include <cstdint>
#include <string>
#include <variant>

#include "dbaccess/date_time.h"

namespace dbaccess {

enum class VariantType { kEmpty, kNull, kInteger, kDouble, kBool, kText, kDateTime };

class Variant {
 public:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };

  Variant() = default;  // empty
  Variant(NullTag) : value_(NullTag{}) {}
  Variant(int v) : value_(int64_t{v}) {}
  Variant(long v) : value_(int64_t{v}) {}
  Variant(long long v) : value_(int64_t{v}) {}
  Variant(double v) : value_(v) {}
  Variant(bool v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(DateTime v) : value_(v) {}

  static Variant Null() { return Variant(NullTag{}); }

  VariantType Type() const;
  bool IsEmpty() const { return Type() == VariantType::kEmpty; }
  bool IsNull() const { return Type() == VariantType::kNull; }
  bool IsNumeric() const;

  // Conversions; see the file comment for failures.
  std::string ToText() const;
  int64_t ToInt64() const;   // doubles round half to even, as the records' integer conversion does
  int32_t ToLong() const;    // ToInt64 range-checked to 32 bits (DbError 6 "Overflow")
  double ToDouble() const;
  bool ToBool() const;       // numbers: not zero; text "true"/"false" or a number
  DateTime ToDateTime() const;  // text through DateTime::Parse; numbers as serial days

  // Text for traces: like ToText, but "Null" for null and never raises.
  std::string Describe() const;

  bool operator==(const Variant& other) const { return value_ == other.value_; }

 private:
  using Storage = std::variant<std::monostate, NullTag, int64_t, double, bool, std::string, DateTime>;
  Storage value_;
};

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_VARIANT_H_
