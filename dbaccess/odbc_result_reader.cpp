// Reading ODBC result sets (see odbc_result_reader.h).
#include "dbaccess/odbc_result_reader.h"

#include <array>
#include <charconv>
#include <string>

#include "dbaccess/odbc_text.h"

namespace dbaccess {
namespace {

// Pieces in which long text and binary values are read.
constexpr size_t kPieceBytes = 4096;

struct Reader {
  const OdbcHandle& statement;
  SQLHDBC connection;
  bool wide_text;

  void Check(SQLRETURN rc) const { CheckOdbc(rc, statement, connection); }

  std::string Attribute(SQLUSMALLINT column, SQLUSMALLINT field) const {
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQL_ERROR;
    std::string value;
    if (wide_text) {
      std::array<SQLWCHAR, 512> buffer{};
      rc = SQLColAttributeW(statement.get(), column, field, buffer.data(),
                            static_cast<SQLSMALLINT>(buffer.size() * sizeof(SQLWCHAR)), &length,
                            nullptr);
      value = FromWideBuffer(buffer.data(), buffer.size());
    } else {
      std::array<char, 1024> buffer{};
      rc = SQLColAttribute(statement.get(), column, field, buffer.data(),
                           static_cast<SQLSMALLINT>(buffer.size() - 1), &length, nullptr);
      value = buffer.data();
    }
    // Drivers without base-name metadata leave the attribute empty.
    return SQL_SUCCEEDED(rc) ? value : "";
  }

  std::string ColumnName(SQLUSMALLINT column, SQLSMALLINT* sql_type, SQLULEN* size,
                         SQLSMALLINT* digits, SQLSMALLINT* nullable) const {
    SQLSMALLINT length = 0;
    if (wide_text) {
      std::array<SQLWCHAR, 512> name{};
      Check(SQLDescribeColW(statement.get(), column, name.data(),
                            static_cast<SQLSMALLINT>(name.size()), &length, sql_type, size, digits,
                            nullable));
      return FromWideBuffer(name.data(), name.size());
    }
    std::array<SQLCHAR, 1024> name{};
    Check(SQLDescribeCol(statement.get(), column, name.data(),
                         static_cast<SQLSMALLINT>(name.size() - 1), &length, sql_type, size, digits,
                         nullable));
    return reinterpret_cast<const char*>(name.data());
  }

  ColumnInfo Describe(SQLUSMALLINT column) const {
    SQLSMALLINT sql_type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
    ColumnInfo info;
    info.name = ColumnName(column, &sql_type, &size, &digits, &nullable);
    info.type = FieldTypeForSqlType(sql_type);
    info.defined_size = static_cast<int64_t>(size);
    info.precision = static_cast<int>(size);
    info.scale = digits;
    info.nullable = nullable != SQL_NO_NULLS;
    info.base_table = Attribute(column, SQL_DESC_BASE_TABLE_NAME);
    info.base_column = Attribute(column, SQL_DESC_BASE_COLUMN_NAME);
    return info;
  }

  // Reads a character or binary value in pieces; false when it is null.
  bool ReadPieces(SQLUSMALLINT column, SQLSMALLINT c_type, std::string* out) const {
    const size_t unit = c_type == SQL_C_WCHAR ? sizeof(SQLWCHAR) : 1;
    const size_t terminator = c_type == SQL_C_BINARY ? 0 : unit;
    std::array<char, kPieceBytes> buffer{};
    WideText wide;
    out->clear();
    for (;;) {
      SQLLEN indicator = 0;
      const SQLRETURN rc = SQLGetData(statement.get(), column, c_type, buffer.data(),
                                      static_cast<SQLLEN>(buffer.size()), &indicator);
      if (rc == SQL_NO_DATA) break;
      Check(rc);
      if (indicator == SQL_NULL_DATA) return false;
      size_t bytes = buffer.size() - terminator;
      if (indicator != SQL_NO_TOTAL && static_cast<size_t>(indicator) < bytes) bytes = indicator;
      bytes -= bytes % unit;
      if (c_type == SQL_C_WCHAR) {
        const auto* chars = reinterpret_cast<const SQLWCHAR*>(buffer.data());
        wide.append(chars, bytes / unit);
      } else {
        out->append(buffer.data(), bytes);
      }
      if (rc == SQL_SUCCESS) break;
    }
    if (c_type == SQL_C_WCHAR) *out = FromWide(wide);
    return true;
  }

  template <typename T>
  bool ReadFixed(SQLUSMALLINT column, SQLSMALLINT c_type, T* out) const {
    SQLLEN indicator = 0;
    Check(SQLGetData(statement.get(), column, c_type, out, sizeof(T), &indicator));
    return indicator != SQL_NULL_DATA;
  }

  Variant ReadDecimal(SQLUSMALLINT column) const {
    std::string text;
    if (!ReadPieces(column, SQL_C_CHAR, &text)) return Variant::Null();
    const char* end = text.data() + text.size();
    long long integer = 0;
    auto [integer_end, integer_error] = std::from_chars(text.data(), end, integer);
    if (integer_error == std::errc() && integer_end == end) return Variant(integer);
    double real = 0;
    auto [real_end, real_error] = std::from_chars(text.data(), end, real);
    if (real_error == std::errc() && real_end == end) return Variant(real);
    return Variant(text);
  }

  Variant ReadValue(SQLUSMALLINT column, FieldType type) const {
    switch (type) {
      case FieldType::kInteger: {
        SQLBIGINT value = 0;
        return ReadFixed(column, SQL_C_SBIGINT, &value) ? Variant(static_cast<long long>(value))
                                                        : Variant::Null();
      }
      case FieldType::kDouble: {
        double value = 0;
        return ReadFixed(column, SQL_C_DOUBLE, &value) ? Variant(value) : Variant::Null();
      }
      case FieldType::kBoolean: {
        unsigned char value = 0;
        return ReadFixed(column, SQL_C_BIT, &value) ? Variant(value != 0) : Variant::Null();
      }
      case FieldType::kDateTime: {
        SQL_TIMESTAMP_STRUCT value{};
        if (!ReadFixed(column, SQL_C_TYPE_TIMESTAMP, &value)) return Variant::Null();
        return Variant(DateTime::FromParts(value.year, value.month, value.day, value.hour,
                                           value.minute, value.second,
                                           static_cast<int>(value.fraction / 1000000u)));
      }
      case FieldType::kDecimal:
        return ReadDecimal(column);
      case FieldType::kBinary: {
        std::string bytes;
        return ReadPieces(column, SQL_C_BINARY, &bytes) ? Variant(bytes) : Variant::Null();
      }
      case FieldType::kText:
        break;
    }
    std::string text;
    return ReadPieces(column, wide_text ? SQL_C_WCHAR : SQL_C_CHAR, &text) ? Variant(text)
                                                                           : Variant::Null();
  }
};

}  // namespace

FieldType FieldTypeForSqlType(SQLSMALLINT sql_type) {
  switch (sql_type) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return FieldType::kInteger;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return FieldType::kDouble;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return FieldType::kDecimal;
    case SQL_BIT:
      return FieldType::kBoolean;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATE:
    case SQL_TIMESTAMP:
      return FieldType::kDateTime;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return FieldType::kBinary;
    default:
      return FieldType::kText;
  }
}

ResultTable ReadResultSet(const OdbcHandle& statement, SQLHDBC connection, bool wide_text) {
  const Reader reader{statement, connection, wide_text};
  SQLSMALLINT count = 0;
  reader.Check(SQLNumResultCols(statement.get(), &count));
  ResultTable table;
  table.columns.reserve(count);
  for (SQLUSMALLINT column = 1; column <= count; ++column) {
    table.columns.push_back(reader.Describe(column));
  }
  for (;;) {
    const SQLRETURN rc = SQLFetch(statement.get());
    if (rc == SQL_NO_DATA) break;
    reader.Check(rc);
    std::vector<Variant> row;
    row.reserve(count);
    for (SQLUSMALLINT column = 1; column <= count; ++column) {
      row.push_back(reader.ReadValue(column, table.columns[column - 1].type));
    }
    table.rows.push_back(std::move(row));
  }
  return table;
}

}  // namespace dbaccess
