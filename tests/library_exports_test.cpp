// What libkorvex7.so exports: only the factory, the C interface and the type
// information of the one exception its public header lets escape. Every
// other symbol stays inside the library, so clients cannot come to depend
// on its internals and its own calls bind within it.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

// The defined dynamic symbols, as `nm -D --defined-only` lists them.
std::set<std::string> ExportedSymbols(const std::string& library) {
  std::set<std::string> symbols;
  FILE* pipe = popen(("nm -D --defined-only '" + library + "'").c_str(), "r");
  if (pipe == nullptr) return symbols;
  char line[1024];
  while (fgets(line, sizeof line, pipe) != nullptr) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) symbols.insert(name);
  }
  pclose(pipe);
  return symbols;
}

TEST(LibraryExports, OnlyThePublicEntryPoints) {
  const std::set<std::string> allowed = {
      // The factory of korvex7.h.
      "Korvex7CreateObject", "Korvex7ReleaseObject",
      // The C interface of korvex7_c_api.h.
      "korvex7_create", "korvex7_destroy", "korvex7_connect", "korvex7_is_connected",
      "korvex7_append2", "korvex7_do_next", "korvex7_log_count", "korvex7_last_failed_row",
      "korvex7_commit",
      // ComError, which the operations without an error text let escape.
      "_ZTI8ComError", "_ZTS8ComError", "_ZTV8ComError"};
  const std::set<std::string> exported = ExportedSymbols(KORVEX7_LIBRARY_PATH);
  ASSERT_FALSE(exported.empty()) << "nm found nothing in " << KORVEX7_LIBRARY_PATH;
  for (const std::string& name : exported) {
    EXPECT_TRUE(allowed.count(name)) << name << " is exported";
  }
  for (const char* name : {"Korvex7CreateObject", "Korvex7ReleaseObject", "korvex7_create"}) {
    EXPECT_TRUE(exported.count(name)) << name << " is not exported";
  }
}

}  // namespace
