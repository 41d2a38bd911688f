// CRegSettings: the settings store, the system's registry.
//
// Two hives of TOML files: the machine hive (/etc/voltrane/registry.toml, or
// $VOLTRANE_MACHINE_STORE) and the user hive
// ($XDG_CONFIG_HOME/voltrane/registry.toml, default ~/.config/..., or
// $VOLTRANE_USER_STORE). A key path such as `Software\Voltrane\MDCService` is
// the TOML table [Software.Voltrane.MDCService]; a string is REG_SZ, an
// integer REG_DWORD; the default (unnamed) value is the key "". The classes
// root is the machine hive's `Software\Classes` key.
//
// Readers never fail: a missing file, key or value, a value of the wrong type
// or a file that is not valid TOML gives the caller's default. Writers create
// the file and keys as needed and replace the file atomically (temp file and
// rename). Both hives hold connection strings: the user hive is written mode
// 0600; the machine hive is written mode 0640 with the group of the service
// account (kServiceAccountName) when that group exists and the writer may give
// it, so the collector, running as that account, reads it and no one else
// does, and mode 0600 otherwise. A writer refuses (returns false) to touch a file it cannot parse, so
// a damaged store is never overwritten. One object per use; no state.
//
// Key and value names match without regard to case, as registry names do; an
// exact spelling wins. Readers take no lock (a rename replaces the file whole);
// writers of several processes serialise on an exclusive flock of the file
// "<hive>.lock" beside the hive around each read-modify-write.
#ifndef VOLTRANE_SETTINGS_REG_SETTINGS_H_
#define VOLTRANE_SETTINGS_REG_SETTINGS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace voltrane {

enum class RegHive { kLocalMachine, kCurrentUser, kClassesRoot };

// The settings key of the collector, and the key holding the base folder.
inline constexpr const char* kServiceKey = "Software\\Voltrane\\MDCService";
inline constexpr const char* kPathsKey = "Software\\Voltrane\\Paths";
// Base folder of the installation when the store names none.
inline constexpr const char* kDefaultBaseFolder = "/var/lib/voltrane";

// Results of opening a key, numbered as the registry numbers them.
inline constexpr int32_t kRegSuccess = 0;
inline constexpr int32_t kRegFileNotFound = 2;    // no hive file, or no such key
inline constexpr int32_t kRegAccessDenied = 5;    // the hive file cannot be read
inline constexpr int32_t kRegBadDatabase = 1009;  // the hive file is not valid TOML

// The unprivileged account and group the collector service runs as.
inline constexpr const char* kServiceAccountName = "voltrane";

// File of a hive, after the environment overrides.
std::string HivePath(RegHive hive);

// Gives an existing machine hive file the access its writers give it (see above), for an
// installation step that finds the file written by other means. False when it cannot.
bool SecureMachineHiveFile();

// The base folder of the installation: the default value of `Software\Voltrane\Paths` from
// the user hive, when missing or empty there from the machine hive, and kDefaultBaseFolder
// when that is missing or empty too.
std::string SoftwareBaseFolder();

// The values of one key, read in one go, for callers that must tell a missing
// value from one of the wrong type (the collector's configuration). Holds a
// copy: later changes of the store are not seen.
class CRegKey {
 public:
  // kRegSuccess, or kRegFileNotFound / kRegAccessDenied / kRegBadDatabase.
  int32_t Open(RegHive hive, const std::string& key_path);
  // Whether the value exists, whatever its type.
  bool HasValue(const std::string& value_name) const;
  // The value when it exists with that type (REG_SZ / REG_DWORD).
  std::optional<std::string> StringValue(const std::string& value_name) const;
  std::optional<int32_t> DWORDValue(const std::string& value_name) const;
  // The names of the key's values, sorted by name.
  std::vector<std::string> ValueNames() const;

 private:
  struct Value {
    std::string name;
    std::optional<std::string> text;
    std::optional<int32_t> number;
  };
  const Value* Find(const std::string& value_name) const;

  std::vector<Value> values_;
};

class CRegSettings {
 public:
  std::string GetMachineStringValue(const std::string& key_path, const std::string& value_name,
                                    const std::string& default_value);
  int32_t GetMachineDWORDValue(const std::string& key_path, const std::string& value_name,
                               int32_t default_value);
  bool SaveMachineStringValue(const std::string& key_path, const std::string& value_name,
                              const std::string& value);
  bool SaveMachineDWORDValue(const std::string& key_path, const std::string& value_name,
                             int32_t value);

  std::string GetUserStringValue(const std::string& key_path, const std::string& value_name,
                                 const std::string& default_value);

  // Deleting a key fails (false) when it is missing or still has subkeys;
  // deleting a value fails when it is missing. No file is created by a delete.
  bool DeleteMachineKey(const std::string& parent_key_path, const std::string& subkey);
  bool DeleteMachineItem(const std::string& key_path, const std::string& value_name);

  // The manager's extras.
  std::string GetRegStringValue(RegHive hive, const std::string& key_path,
                                const std::string& value_name, const std::string& default_value);
};

}  // namespace voltrane

#endif  // VOLTRANE_SETTINGS_REG_SETTINGS_H_
