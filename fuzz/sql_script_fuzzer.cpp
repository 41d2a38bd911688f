// Splits arbitrary text as a schema script: the splitter must neither crash
// nor lose text that is not a comment or a terminator.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dbaccess/sql_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string script(reinterpret_cast<const char*>(data), size);
  size_t total = 0;
  for (const std::string& statement : dbaccess::SplitSqlScript(script)) total += statement.size();
  if (total > script.size()) __builtin_trap();
  return 0;
}
