#include "library/session/error_text.h"

#include <fmt/format.h>

#include <exception>

#include "dbaccess/db_error.h"
#include "library/com_error.h"

namespace korvex7::internal {

ErrorInfo CurrentError() {
  try {
    throw;
  } catch (const dbaccess::DbError& error) {
    return {error.number(), error.description()};
  } catch (const ComError& error) {
    return {error.number(), error.description()};
  } catch (const std::exception& error) {
    return {kErrUnexpected, error.what()};
  } catch (...) {
    return {kErrUnexpected, "Unknown error"};
  }
}

std::string FormatErrorText(int32_t number, const std::string& description) {
  return fmt::format("Error # {}:{}", number, description);
}

std::string FormatConnectErrorText(int32_t number, const std::string& description) {
  return fmt::format("0x{:X}: {}", static_cast<uint32_t>(number), description);
}

void RethrowAsComError(const std::string& source) {
  try {
    throw;
  } catch (const ComError&) {
    throw;
  } catch (...) {
    const ErrorInfo error = CurrentError();
    throw ComError(error.number, source, error.description);
  }
}

}  // namespace korvex7::internal
