// MessageTextForId: the library's message-text table for the connection class
// (the label texts of the database kinds, ids 830 to 834) and the text of a
// failed impersonation logon (6808). Any other id gives "Unknown id #<id>".
// Pure function; thread-safe.
#ifndef VOLTRANE_LIBRARY_MESSAGE_TEXT_H_
#define VOLTRANE_LIBRARY_MESSAGE_TEXT_H_

#include <cstdint>
#include <string>

namespace korvex7::internal {

inline constexpr int32_t kMessageFailedLogon = 6808;

std::string MessageTextForId(int32_t id);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_MESSAGE_TEXT_H_
