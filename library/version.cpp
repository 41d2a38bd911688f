// The project version compiled into the library, and where the library file
// lies (found with dladdr on one of its own functions). Thread-safe.
#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "library/library_version.h"

namespace {

constexpr size_t kMaxModulePath = 206;

}  // namespace

const char* Korvex7CompiledVersion() { return VOLTRANE_VERSION; }

std::string GetLibraryVersion(std::string& path) {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&Korvex7CompiledVersion), &info) == 0 ||
      info.dli_fname == nullptr || info.dli_fname[0] == '\0') {
    return "Unknown";
  }
  std::error_code error;
  const std::filesystem::path file = std::filesystem::canonical(info.dli_fname, error);
  if (error) return "Unknown";
  path = file.string();
  if (path.size() > kMaxModulePath) {
    // The module name would be cut short, and a cut name names no file.
    path.resize(kMaxModulePath);
    return "Unknown";
  }
  return Korvex7CompiledVersion();
}
