// DbError: the failure of a database or platform operation.
//
// `number` is the ADO-style error number the system acts on (see the constants
// below); `description` the driver's or engine's text; `native` the SQLSTATE or
// the SQLite result code as text. Thrown by everything in dbaccess that talks
// to a database; the library and connection class turn it into error texts.
#ifndef VOLTRANE_DBACCESS_DB_ERROR_H_
#define VOLTRANE_DBACCESS_DB_ERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>

namespace dbaccess {

// Generic provider failure: lost or refused connection, unreachable server.
inline constexpr int32_t kErrGenericFailure = static_cast<int32_t>(0x80004005u);
// Refused login.
inline constexpr int32_t kErrLoginFailed = static_cast<int32_t>(0x80040E4Du);
// Table or view not found.
inline constexpr int32_t kErrTableNotFound = static_cast<int32_t>(0x80040E37u);
// Other statement errors (syntax, constraint, ...) carry this number.
inline constexpr int32_t kErrCommandFailed = static_cast<int32_t>(0x80040E14u);
// Invalid argument (malformed connection string, bad call order).
inline constexpr int32_t kErrInvalidArgument = 3001;
// Provider or driver not installed.
inline constexpr int32_t kErrProviderNotFound = 3706;
// Operation on a closed connection or recordset.
inline constexpr int32_t kErrObjectClosed = 3704;
// Either BOF or EOF is true, or the current record has been deleted.
inline constexpr int32_t kErrNoCurrentRecord = 3021;
// Item cannot be found in the collection (unknown field name).
inline constexpr int32_t kErrItemNotFound = 3265;
// Timeout expired / database is locked beyond the busy timeout.
inline constexpr int32_t kErrTimeout = static_cast<int32_t>(0x80040E31u);
// Variant conversions.
inline constexpr int32_t kErrOverflow = 6;
inline constexpr int32_t kErrTypeMismatch = 13;
inline constexpr int32_t kErrInvalidUseOfNull = 94;

inline constexpr const char* kTextProviderNotFound =
    "Provider cannot be found. It may not be properly installed.";

class DbError : public std::runtime_error {
 public:
  DbError(int32_t number, std::string description, std::string native = "")
      : std::runtime_error(description),
        number_(number),
        description_(std::move(description)),
        native_(std::move(native)) {}

  int32_t number() const { return number_; }
  const std::string& description() const { return description_; }
  const std::string& native() const { return native_; }

 private:
  int32_t number_;
  std::string description_;
  std::string native_;
};

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_DB_ERROR_H_
