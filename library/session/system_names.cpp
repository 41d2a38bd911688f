#include "library/session/system_names.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <vector>

namespace korvex7::internal {

namespace {

// Cuts at the first NUL, as a fixed buffer read by the system is read back.
std::string TextBeforeNul(const char* buffer, size_t size) {
  size_t length = 0;
  while (length < size && buffer[length] != '\0') ++length;
  return std::string(buffer, length);
}

}  // namespace

std::string GetComputerNameText() {
  std::array<char, 256> buffer{};
  if (gethostname(buffer.data(), buffer.size() - 1) != 0) return "";
  return TextBeforeNul(buffer.data(), buffer.size() - 1);
}

std::string GetCurrentUserName() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_name == nullptr) {
    return "";
  }
  return TextBeforeNul(found->pw_name, 99);
}

}  // namespace korvex7::internal
