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
// rename); the machine hive is written mode 0600 because it holds connection
// strings. A writer refuses (returns false) to touch a file it cannot parse, so
// a damaged store is never overwritten. One object per use; no state.
#ifndef VOLTRANE_DBACCESS_REG_SETTINGS_H_
#define VOLTRANE_DBACCESS_REG_SETTINGS_H_

#include <cstdint>
#include <string>

namespace voltrane {

enum class RegHive { kLocalMachine, kCurrentUser, kClassesRoot };

// The settings key of the collector, and the key holding the base folder.
inline constexpr const char* kServiceKey = "Software\\Voltrane\\MDCService";
inline constexpr const char* kPathsKey = "Software\\Voltrane\\Paths";

// File of a hive, after the environment overrides.
std::string HivePath(RegHive hive);

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
  int32_t GetUserDWORDValue(const std::string& key_path, const std::string& value_name,
                            int32_t default_value);
  bool SaveUserStringValue(const std::string& key_path, const std::string& value_name,
                           const std::string& value);
  bool SaveUserDWORDValue(const std::string& key_path, const std::string& value_name,
                          int32_t value);

  bool DeleteMachineKey(const std::string& parent_key_path, const std::string& subkey);
  bool DeleteUserKey(const std::string& parent_key_path, const std::string& subkey);
  bool DeleteMachineItem(const std::string& key_path, const std::string& value_name);
  bool DeleteUserItem(const std::string& key_path, const std::string& value_name);

  // The manager's extras.
  std::string GetRegStringValue(RegHive hive, const std::string& key_path,
                                const std::string& value_name, const std::string& default_value);
  // The user hive when the key exists there (even without the value), else the machine hive.
  std::string GetRegProgressionStringValue(const std::string& key_path,
                                           const std::string& value_name,
                                           const std::string& default_value);
  bool IsValidMimeExtension(const std::string& extension);
};

}  // namespace voltrane

#endif  // VOLTRANE_DBACCESS_REG_SETTINGS_H_
