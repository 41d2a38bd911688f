// Binding of statement and procedure parameters (see odbc_parameters.h).
#include "dbaccess/odbc_parameters.h"

#include <algorithm>
#include <limits>
#include <string>

#include "dbaccess/db_error.h"

namespace dbaccess {
namespace {

// Room left for a text output parameter whose size the caller did not give.
constexpr size_t kDefaultTextCapacity = 255;

SQL_TIMESTAMP_STRUCT ToTimestamp(const DateTime& value) {
  SQL_TIMESTAMP_STRUCT stamp{};
  stamp.year = static_cast<SQLSMALLINT>(value.Year());
  stamp.month = static_cast<SQLUSMALLINT>(value.Month());
  stamp.day = static_cast<SQLUSMALLINT>(value.Day());
  stamp.hour = static_cast<SQLUSMALLINT>(value.Hour());
  stamp.minute = static_cast<SQLUSMALLINT>(value.Minute());
  stamp.second = static_cast<SQLUSMALLINT>(value.Second());
  stamp.fraction = static_cast<SQLUINTEGER>(value.Millisecond()) * 1000000u;
  return stamp;
}

bool FitsInt32(int64_t value) {
  return value >= std::numeric_limits<int32_t>::min() &&
         value <= std::numeric_limits<int32_t>::max();
}

}  // namespace

struct OdbcParameters::Slot {
  SQLSMALLINT c_type = SQL_C_CHAR;
  SQLSMALLINT sql_type = SQL_VARCHAR;
  SQLULEN column_size = 1;
  SQLSMALLINT digits = 0;
  SQLBIGINT integer = 0;
  double real = 0;
  unsigned char bit = 0;
  SQL_TIMESTAMP_STRUCT stamp{};
  WideText wide;       // text for wide drivers; its size is the buffer's capacity
  std::string narrow;  // text (UTF-8) for the others
  SQLLEN indicator = 0;

  void SetNull() {
    c_type = SQL_C_CHAR;
    sql_type = SQL_VARCHAR;
    column_size = 1;
    indicator = SQL_NULL_DATA;
  }
};

OdbcParameters::OdbcParameters(bool wide_text) : wide_text_(wide_text) {}
OdbcParameters::~OdbcParameters() = default;

OdbcParameters::Slot& OdbcParameters::NewSlot() {
  slots_.push_back(std::make_unique<Slot>());
  return *slots_.back();
}

void OdbcParameters::BindInputs(const OdbcHandle& statement, const std::vector<Variant>& values) {
  for (const Variant& value : values) {
    Slot& slot = NewSlot();
    FillFromValue(slot, value);
    Bind(statement, slot, SQL_PARAM_INPUT);
  }
}

void OdbcParameters::BindProcedureParameter(const OdbcHandle& statement,
                                            const Parameter& parameter) {
  Slot& slot = NewSlot();
  const bool sends = parameter.direction == ParamDirection::kInput ||
                     parameter.direction == ParamDirection::kInputOutput;
  const bool receives = parameter.direction != ParamDirection::kInput;
  FillForType(slot, parameter.type, sends ? parameter.value : Variant::Null(), parameter.size,
              receives);
  SQLSMALLINT direction = SQL_PARAM_INPUT;
  if (parameter.direction == ParamDirection::kInputOutput) direction = SQL_PARAM_INPUT_OUTPUT;
  if (parameter.direction == ParamDirection::kOutput ||
      parameter.direction == ParamDirection::kReturnValue) {
    direction = SQL_PARAM_OUTPUT;
  }
  Bind(statement, slot, direction);
}

void OdbcParameters::FillFromValue(Slot& slot, const Variant& value) const {
  switch (value.Type()) {
    case VariantType::kEmpty:
    case VariantType::kNull:
      slot.SetNull();
      return;
    case VariantType::kInteger: {
      const int64_t number = value.ToInt64();
      FillForType(slot, ParamType::kInteger, value, 0, false);
      if (!FitsInt32(number)) {
        slot.sql_type = SQL_BIGINT;
        slot.column_size = 19;
      }
      return;
    }
    case VariantType::kDouble:
      slot.c_type = SQL_C_DOUBLE;
      slot.sql_type = SQL_DOUBLE;
      slot.column_size = 15;
      slot.real = value.ToDouble();
      slot.indicator = 0;
      return;
    case VariantType::kBool:
      FillForType(slot, ParamType::kBoolean, value, 0, false);
      return;
    case VariantType::kText:
      FillForType(slot, ParamType::kText, value, 0, false);
      return;
    case VariantType::kDateTime:
      FillForType(slot, ParamType::kDateTime, value, 0, false);
      return;
  }
}

// Fills a slot for a declared type; `needs_room` reserves space for a value
// coming back (output parameters).
void OdbcParameters::FillForType(Slot& slot, ParamType type, const Variant& value, int size,
                                 bool needs_room) const {
  const bool is_null = value.IsNull() || value.IsEmpty();
  slot.indicator = is_null ? SQL_NULL_DATA : 0;
  switch (type) {
    case ParamType::kInteger:
      slot.c_type = SQL_C_SBIGINT;
      slot.sql_type = SQL_INTEGER;
      slot.column_size = 10;
      if (!is_null) slot.integer = value.ToInt64();
      return;
    case ParamType::kBoolean:
      slot.c_type = SQL_C_BIT;
      slot.sql_type = SQL_BIT;
      slot.column_size = 1;
      if (!is_null) slot.bit = value.ToBool() ? 1 : 0;
      return;
    case ParamType::kDateTime:
      slot.c_type = SQL_C_TYPE_TIMESTAMP;
      slot.sql_type = SQL_TYPE_TIMESTAMP;
      slot.column_size = 23;  // "YYYY-MM-DD HH:MM:SS.SSS"
      slot.digits = 3;
      if (!is_null) slot.stamp = ToTimestamp(value.ToDateTime());
      return;
    case ParamType::kText: {
      const std::string text = is_null ? std::string() : value.ToText();
      slot.c_type = wide_text_ ? SQL_C_WCHAR : SQL_C_CHAR;
      slot.sql_type = wide_text_ ? SQL_WVARCHAR : SQL_VARCHAR;
      size_t capacity = 0;
      if (wide_text_) {
        slot.wide = ToWide(text);
        capacity = slot.wide.size();
        if (!is_null) slot.indicator = static_cast<SQLLEN>(capacity * sizeof(SQLWCHAR));
      } else {
        slot.narrow = text;
        capacity = slot.narrow.size();
        if (!is_null) slot.indicator = static_cast<SQLLEN>(capacity);
      }
      if (needs_room) capacity = std::max(capacity, size > 0 ? size_t(size) : kDefaultTextCapacity);
      // Output text may need a multiple of its characters in UTF-8 bytes.
      if (wide_text_) {
        slot.wide.resize(capacity + 1);
      } else {
        slot.narrow.resize(needs_room ? capacity * 4 + 1 : capacity + 1);
      }
      slot.column_size = std::max<size_t>(capacity, 1);
      return;
    }
  }
}

void OdbcParameters::Bind(const OdbcHandle& statement, Slot& slot, SQLSMALLINT direction) {
  void* buffer = &slot.bit;
  SQLLEN buffer_length = 0;
  switch (slot.c_type) {
    case SQL_C_SBIGINT:
      buffer = &slot.integer;
      break;
    case SQL_C_DOUBLE:
      buffer = &slot.real;
      break;
    case SQL_C_TYPE_TIMESTAMP:
      buffer = &slot.stamp;
      break;
    case SQL_C_WCHAR:
      buffer = slot.wide.data();
      buffer_length = static_cast<SQLLEN>(slot.wide.size() * sizeof(SQLWCHAR));
      break;
    case SQL_C_CHAR:
      if (!slot.narrow.empty()) {
        buffer = slot.narrow.data();
        buffer_length = static_cast<SQLLEN>(slot.narrow.size());
      }
      break;
    default:
      break;
  }
  const auto number = static_cast<SQLUSMALLINT>(slots_.size());
  CheckOdbc(SQLBindParameter(statement.get(), number, direction, slot.c_type, slot.sql_type,
                             slot.column_size, slot.digits, buffer, buffer_length, &slot.indicator),
            statement);
}

Variant OdbcParameters::OutputValue(size_t index) const {
  if (index >= slots_.size()) throw DbError(kErrInvalidArgument, "No such parameter.");
  const Slot& slot = *slots_[index];
  if (slot.indicator == SQL_NULL_DATA) return Variant::Null();
  switch (slot.c_type) {
    case SQL_C_SBIGINT:
      return Variant(static_cast<long long>(slot.integer));
    case SQL_C_DOUBLE:
      return Variant(slot.real);
    case SQL_C_BIT:
      return Variant(slot.bit != 0);
    case SQL_C_TYPE_TIMESTAMP:
      return Variant(DateTime::FromParts(slot.stamp.year, slot.stamp.month, slot.stamp.day,
                                         slot.stamp.hour, slot.stamp.minute, slot.stamp.second,
                                         static_cast<int>(slot.stamp.fraction / 1000000u)));
    case SQL_C_WCHAR: {
      const size_t capacity = slot.wide.empty() ? 0 : slot.wide.size() - 1;
      size_t length = capacity;
      if (slot.indicator >= 0) {
        length = std::min(capacity, static_cast<size_t>(slot.indicator) / sizeof(SQLWCHAR));
      }
      return Variant(FromWide(slot.wide.data(), length));
    }
    default: {
      const size_t capacity = slot.narrow.empty() ? 0 : slot.narrow.size() - 1;
      size_t length = capacity;
      if (slot.indicator >= 0) length = std::min(capacity, static_cast<size_t>(slot.indicator));
      return Variant(slot.narrow.substr(0, length));
    }
  }
}

}  // namespace dbaccess
