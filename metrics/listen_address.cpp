// Parsing a listen address.
#include "metrics/listen_address.h"

#include <charconv>

namespace metrics {

bool ParseListenAddress(const std::string& text, std::string& host, int& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  std::string address = text.substr(0, colon);
  const std::string digits = text.substr(colon + 1);
  int number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
      number < 0 || number > 65535) {
    return false;
  }
  if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  } else if (address.find(':') != std::string::npos) {
    return false;  // an IPv6 address needs its brackets
  }
  host = address.empty() ? "127.0.0.1" : address;
  port = number;
  return true;
}

}  // namespace metrics
