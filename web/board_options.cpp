#include "web/board_options.h"

#include <charconv>

#include "settings/reg_settings.h"
#include "web/token_store.h"

namespace web {
namespace {

// A positive DWORD value, or the default.
template <typename T>
void ReadPositive(const voltrane::CRegKey& key, const char* name, T& value) {
  const std::optional<int32_t> stored = key.DWORDValue(name);
  if (stored && *stored > 0) value = static_cast<T>(*stored);
}

}  // namespace

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

BoardOptions ReadBoardOptions() {
  BoardOptions options;
  voltrane::CRegKey key;
  if (key.Open(voltrane::RegHive::kLocalMachine, kBoardKey) != voltrane::kRegSuccess) {
    return options;
  }
  if (const auto listen = key.StringValue("Listen")) {
    ParseListenAddress(*listen, options.host, options.port);
  }
  if (const auto read = key.DWORDValue("ReadRequiresToken")) {
    options.read_requires_token = *read != 0;
  }
  ReadPositive(key, "MaxBodyBytes", options.max_body_bytes);
  ReadPositive(key, "MaxJsonDepth", options.body_limits.max_depth);
  ReadPositive(key, "MaxCommandsPerRequest", options.body_limits.max_commands);
  ReadPositive(key, "MaxConnections", options.max_connections);
  ReadPositive(key, "MaxWaitingConnections", options.max_waiting_connections);
  ReadPositive(key, "RequestTimeoutSeconds", options.request_timeout_seconds);
  ReadPositive(key, "RefreshSeconds", options.refresh_seconds);
  return options;
}

}  // namespace web
