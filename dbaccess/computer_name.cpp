// This computer's name.
#include "dbaccess/computer_name.h"

#include <unistd.h>

#include <array>
#include <cstring>

namespace voltrane {

std::string ComputerName() {
  std::array<char, 256> buffer{};
  if (gethostname(buffer.data(), buffer.size() - 1) != 0) return "";
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size() - 1));
}

}  // namespace voltrane
