#include "web/board_options.h"

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
