// The text reported for a failure that escaped the library (a ComError, or any
// other exception, taken as the generic failure 0x80004005):
// "Voltrane Collector Service Exception (%08lx) %s %s %s" with the status
// code, its message, the error source and the description. Pure functions.
#ifndef VOLTRANE_SERVICE_EXCEPTION_TEXT_H_
#define VOLTRANE_SERVICE_EXCEPTION_TEXT_H_

#include <cstdint>
#include <string>

namespace voltrane {

// The system's message for a status code, else "IDispatch error #n" for codes above
// 0x80040200 up to 0x8004FFFF, else "Unknown error 0x<code>".
std::string StatusCodeMessage(uint32_t code);

// Empty source or description print as "(null)".
std::string ExceptionText(uint32_t code, const std::string& source, const std::string& description);

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_EXCEPTION_TEXT_H_
