// Tokenizes arbitrary text as a stored connection string, the way the
// library, the collector and the wizard read it: the pair walk must end, each
// step must move forward, and the readers built on it must not crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cipher/mod_crypto.h"
#include "dbaccess/provider_table.h"

namespace {

void WalkPairs(const std::string& text) {
  std::string key;
  std::string value;
  int position = 1;
  while (true) {
    const int next = voltrane::NextConnectionStringPair(position, text, key, value);
    if (next <= 0) break;
    // A walk that does not move forward never ends.
    if (next <= position) __builtin_trap();
    position = next;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  WalkPairs(text);
  voltrane::DecipherConnectionString(text);
  voltrane::ReadOracleConnectionString(text);
  voltrane::ReadAccessDatabasePath(text);
  voltrane::ReadSqlServerConnectionString(text);
  const auto items = dbaccess::ParseConnectionString(text);
  for (const dbaccess::ConnectionItem& item : items) {
    if (item.key.find(';') != std::string::npos || item.value.find(';') != std::string::npos) {
      __builtin_trap();
    }
  }
  dbaccess::FindConnectionValue(items, "Data Source");
  return 0;
}
