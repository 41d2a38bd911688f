// Names of this computer and of the user running the process, as the library
// reports them. Both return "" when the system cannot tell. Thread-safe.
#ifndef VOLTRANE_LIBRARY_SYSTEM_NAMES_H_
#define VOLTRANE_LIBRARY_SYSTEM_NAMES_H_

#include <string>

namespace korvex7::internal {

// The host name, at most 255 characters.
std::string GetComputerNameText();
// The effective user's login name, at most 99 characters.
std::string GetCurrentUserName();

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_SYSTEM_NAMES_H_
