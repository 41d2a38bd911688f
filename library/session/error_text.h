// Error texts of the library: the fixed forms in which failures reach callers.
//
// "Error # <decimal number>:<description>" for unexpected errors and
// "0x<upper-case hex>: <description>" for connection failures. CurrentError
// turns the exception being handled into a number and description, so every
// catch site reports DbError, ComError and other exceptions alike. Pure
// functions; thread-safe.
#ifndef VOLTRANE_LIBRARY_ERROR_TEXT_H_
#define VOLTRANE_LIBRARY_ERROR_TEXT_H_

#include <cstdint>
#include <string>

namespace korvex7::internal {

// Unexpected failure that is neither a database nor a library error (E_UNEXPECTED).
inline constexpr int32_t kErrUnexpected = static_cast<int32_t>(0x8000FFFFu);

struct ErrorInfo {
  int32_t number = 0;
  std::string description;
};

// Must be called inside a catch block.
ErrorInfo CurrentError();

std::string FormatErrorText(int32_t number, const std::string& description);
std::string FormatConnectErrorText(int32_t number, const std::string& description);

// Rethrows the exception being handled as ComError with `source`; a ComError
// passes unchanged. Must be called inside a catch block.
[[noreturn]] void RethrowAsComError(const std::string& source);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_ERROR_TEXT_H_
