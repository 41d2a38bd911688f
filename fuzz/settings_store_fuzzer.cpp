// The settings store reading a hive file of arbitrary content (a hand-edited
// or truncated /etc/voltrane/registry.toml): readers fall back to the
// caller's default and never crash; a writer either refuses the file or
// stores a value that reads back unchanged.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "settings/reg_settings.h"

namespace {

// The hive files live in a private folder for the whole run.
const std::string& HiveFile() {
  static const std::string path = [] {
    char folder[] = "/tmp/settings-store-fuzz-XXXXXX";
    if (mkdtemp(folder) == nullptr) abort();
    const std::string file = std::string(folder) + "/machine.toml";
    setenv("VOLTRANE_MACHINE_STORE", file.c_str(), 1);
    setenv("VOLTRANE_USER_STORE", (std::string(folder) + "/user.toml").c_str(), 1);
    return file;
  }();
  return path;
}

void WriteHive(const std::string& content) {
  std::ofstream(HiveFile(), std::ios::binary | std::ios::trunc) << content;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // The last line of the input is a value to store, the rest the file.
  const size_t split = input.rfind('\n');
  const std::string content = split == std::string::npos ? input : input.substr(0, split);
  const std::string value = split == std::string::npos ? std::string() : input.substr(split + 1);
  WriteHive(content);

  voltrane::CRegKey key;
  if (key.Open(voltrane::RegHive::kLocalMachine, voltrane::kServiceKey) == voltrane::kRegSuccess) {
    key.HasValue("DatabaseType");
    key.StringValue("SQLiteConnectionString");
    key.DWORDValue("DatabaseType");
  }
  voltrane::CRegSettings settings;
  settings.GetMachineStringValue(voltrane::kServiceKey, "", "default");
  settings.GetMachineDWORDValue(voltrane::kServiceKey, "IdleTimeout", 7);
  settings.GetRegStringValue(voltrane::RegHive::kClassesRoot, "Korvex7.CKorvex7Obj\\CLSID", "", "");
  voltrane::SoftwareBaseFolder();

  if (settings.SaveMachineStringValue(voltrane::kServiceKey, "Fuzzed", value) &&
      settings.GetMachineStringValue(voltrane::kServiceKey, "Fuzzed", value + "x") != value) {
    __builtin_trap();
  }
  return 0;
}
