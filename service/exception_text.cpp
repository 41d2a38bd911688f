// Exception texts and the messages of common status codes.
#include "service/exception_text.h"

#include <fmt/format.h>

#include <array>

namespace voltrane {
namespace {

struct StatusMessage {
  uint32_t code;
  const char* text;
};

// The status codes a library call can carry, with the texts the system gives them.
constexpr std::array<StatusMessage, 9> kStatusMessages{{
    {0x80004001, "Not implemented"},
    {0x80004002, "No such interface supported"},
    {0x80004005, "Unspecified error"},
    {0x8000FFFF, "Catastrophic failure"},
    {0x80020009, "Exception occurred."},
    {0x80040154, "Class not registered"},
    {0x80070005, "Access is denied."},
    {0x8007000E, "Not enough memory resources are available to complete this operation."},
    {0x80070057, "The parameter is incorrect."},
}};

}  // namespace

std::string StatusCodeMessage(uint32_t code) {
  for (const auto& entry : kStatusMessages) {
    if (entry.code == code) return entry.text;
  }
  if (code > 0x80040200u && code <= 0x8004FFFFu) {
    return fmt::format("IDispatch error #{}", code - 0x80040200u);
  }
  return fmt::format("Unknown error 0x{:X}", code);
}

std::string ExceptionText(uint32_t code, const std::string& source,
                          const std::string& description) {
  return fmt::format("Voltrane Collector Service Exception ({:08x}) {} {} {}", code,
                     StatusCodeMessage(code), source.empty() ? "(null)" : source,
                     description.empty() ? "(null)" : description);
}

}  // namespace voltrane
