// The settings store over TOML hive files.
//
// A hive is read whole for every operation: the files are small and read only
// at start-up and at each connection attempt. Readers parse a private copy and
// never write or lock. Writers lock "<hive>.lock", parse the file, edit the
// tree, check that the new text parses back to the same tree (so a text that
// TOML cannot hold, such as invalid UTF-8, is refused instead of stored), and
// replace the file by a temp file in the same folder, fsync and rename. Every
// failure of a writer leaves the old file in place and returns false.
#include "settings/reg_settings.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <toml++/toml.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <sstream>

#include "base/ascii_case.h"

namespace voltrane {
namespace {

constexpr const char* kClassesRootKey = "Software\\Classes";
constexpr mode_t kHiveMode = 0600;
constexpr mode_t kSharedMachineHiveMode = 0640;

std::string EnvOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string HomeFolder() {
  std::string home = EnvOrEmpty("HOME");
  if (!home.empty()) return home;
  const passwd* entry = getpwuid(geteuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

// Key paths use backslashes; empty parts (a trailing "\") are ignored.
std::vector<std::string> SplitKeyPath(const std::string& key_path) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream stream(key_path);
  while (std::getline(stream, part, '\\')) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

std::vector<std::string> HiveKeyPath(RegHive hive, const std::string& key_path) {
  if (hive != RegHive::kClassesRoot) return SplitKeyPath(key_path);
  return SplitKeyPath(std::string(kClassesRootKey) + "\\" + key_path);
}

// The entry named `name`: the exact spelling first, else any spelling.
template <typename Table>
auto FindEntry(Table& table, const std::string& name) {
  auto exact = table.find(name);
  if (exact != table.end()) return exact;
  for (auto it = table.begin(); it != table.end(); ++it) {
    if (base::EqualsIgnoreCase(it->first.str(), name)) return it;
  }
  return table.end();
}

template <typename Table>
Table* FindKey(Table& root, const std::vector<std::string>& parts) {
  Table* table = &root;
  for (const auto& part : parts) {
    auto entry = FindEntry(*table, part);
    if (entry == table->end() || !entry->second.is_table()) return nullptr;
    table = entry->second.as_table();
  }
  return table;
}

// Null when a part of the path is already a value: a value is never replaced by a key.
toml::table* FindOrCreateKey(toml::table& root, const std::vector<std::string>& parts) {
  toml::table* table = &root;
  for (const auto& part : parts) {
    auto entry = FindEntry(*table, part);
    if (entry == table->end()) entry = table->emplace(part, toml::table{}).first;
    if (!entry->second.is_table()) return nullptr;
    table = entry->second.as_table();
  }
  return table;
}

// A REG_DWORD is four bytes: a number written unsigned by hand (0xFFFFFFFF) reads as the
// signed value of the same bits; anything wider is not a DWORD.
std::optional<int32_t> AsDWORD(const toml::node& node) {
  const auto number = node.value_exact<int64_t>();
  if (!number) return std::nullopt;
  if (*number < std::numeric_limits<int32_t>::min() ||
      *number > std::numeric_limits<uint32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(*number));
}

std::optional<std::string> AsString(const toml::node& node) {
  return node.value_exact<std::string>();
}

// --- Hive files ---------------------------------------------------------------------------

int32_t ReadWholeFile(const std::string& path, std::string& content) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? kRegFileNotFound : kRegAccessDenied;
  char buffer[8192];
  ssize_t count;
  content.clear();
  while ((count = read(fd, buffer, sizeof buffer)) != 0) {
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      close(fd);
      return kRegAccessDenied;
    }
    content.append(buffer, static_cast<size_t>(count));
  }
  close(fd);
  return kRegSuccess;
}

// kRegSuccess with the parsed hive, or the reason it cannot be had.
int32_t LoadHive(const std::string& path, toml::table& hive) {
  std::string content;
  const int32_t result = ReadWholeFile(path, content);
  if (result != kRegSuccess) return result;
  try {
    hive = toml::parse(content, std::string_view(path));
  } catch (const toml::parse_error&) {
    return kRegBadDatabase;
  }
  return kRegSuccess;
}

// The hive for a reader: a missing, unreadable or damaged file reads as an empty hive.
toml::table LoadHiveForReading(RegHive hive) {
  toml::table table;
  if (LoadHive(HivePath(hive), table) != kRegSuccess) return toml::table{};
  return table;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t count = write(fd, text.data() + done, text.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

void SyncFolder(const std::filesystem::path& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// The machine hive is shared with the service account's group where this writer may hand
// it over (root, or a member of the group); every other hive file stays its owner's.
bool SetHiveAccess(int fd, RegHive hive) {
  if (hive != RegHive::kCurrentUser) {
    const group* service_group = getgrnam(kServiceAccountName);
    if (service_group && fchown(fd, static_cast<uid_t>(-1), service_group->gr_gid) == 0) {
      return fchmod(fd, kSharedMachineHiveMode) == 0;
    }
  }
  return fchmod(fd, kHiveMode) == 0;
}

bool ReplaceFileAtomically(const std::filesystem::path& path, RegHive hive,
                           const std::string& text) {
  const std::filesystem::path folder = path.parent_path();
  std::string temp = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = SetHiveAccess(fd, hive) && WriteAll(fd, text) && fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (!written || !closed || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  SyncFolder(folder);
  return true;
}

// An exclusive lock on "<hive>.lock", released by the destructor.
class HiveLock {
 public:
  explicit HiveLock(const std::string& hive_path) {
    fd_ = open((hive_path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kHiveMode);
    if (fd_ < 0) return;
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      close(fd_);
      fd_ = -1;
      return;
    }
  }
  ~HiveLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  HiveLock(const HiveLock&) = delete;
  HiveLock& operator=(const HiveLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Read-modify-write of a hive under its lock. `edit` returns false to leave the file as it
// is (nothing to change); a missing file starts empty unless `create` is false.
bool ModifyHive(RegHive hive, bool create, const std::function<bool(toml::table&)>& edit) {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::absolute(HivePath(hive), error);
  if (error) return false;
  if (create) std::filesystem::create_directories(path.parent_path(), error);
  if (error || !std::filesystem::is_directory(path.parent_path(), error)) return false;
  if (!create && !std::filesystem::exists(path, error)) return false;  // no lock file either
  HiveLock lock(path.string());
  if (!lock.held()) return false;

  toml::table table;
  const int32_t loaded = LoadHive(path.string(), table);
  if (loaded != kRegSuccess && !(create && loaded == kRegFileNotFound)) return false;
  if (!edit(table)) return false;

  std::ostringstream text;
  text << table << "\n";
  try {
    if (toml::parse(text.str()) != table) return false;
  } catch (const toml::parse_error&) {
    return false;
  }
  return ReplaceFileAtomically(path, hive, text.str());
}

// --- Operations shared by both hives ------------------------------------------------------

std::optional<std::string> ReadString(RegHive hive, const std::string& key_path,
                                      const std::string& value_name) {
  const toml::table root = LoadHiveForReading(hive);
  const toml::table* key = FindKey(root, HiveKeyPath(hive, key_path));
  if (!key) return std::nullopt;
  const auto entry = FindEntry(*key, value_name);
  if (entry == key->end()) return std::nullopt;
  return AsString(entry->second);
}

int32_t ReadDWORD(RegHive hive, const std::string& key_path, const std::string& value_name,
                  int32_t default_value) {
  const toml::table root = LoadHiveForReading(hive);
  const toml::table* key = FindKey(root, HiveKeyPath(hive, key_path));
  if (!key) return default_value;
  const auto entry = FindEntry(*key, value_name);
  if (entry == key->end()) return default_value;
  return AsDWORD(entry->second).value_or(default_value);
}

// Stores a value, keeping the spelling of an existing value of the same name.
template <typename T>
bool SaveValue(RegHive hive, const std::string& key_path, const std::string& value_name, T value) {
  return ModifyHive(hive, true, [&](toml::table& root) {
    toml::table* key = FindOrCreateKey(root, HiveKeyPath(hive, key_path));
    if (!key) return false;
    const auto entry = FindEntry(*key, value_name);
    if (entry == key->end()) {
      key->insert_or_assign(value_name, value);
      return true;
    }
    if (entry->second.is_table()) return false;  // a subkey of that name, not a value
    const std::string name(entry->first.str());
    key->insert_or_assign(name, value);
    return true;
  });
}

bool DeleteKey(RegHive hive, const std::string& parent_key_path, const std::string& subkey) {
  return ModifyHive(hive, false, [&](toml::table& root) {
    toml::table* parent = FindKey(root, HiveKeyPath(hive, parent_key_path));
    if (!parent) return false;
    const auto entry = FindEntry(*parent, subkey);
    if (entry == parent->end() || !entry->second.is_table()) return false;
    for (const auto& [name, node] : *entry->second.as_table()) {
      if (node.is_table()) return false;  // as the registry: subkeys go first
    }
    parent->erase(entry);
    return true;
  });
}

bool DeleteItem(RegHive hive, const std::string& key_path, const std::string& value_name) {
  return ModifyHive(hive, false, [&](toml::table& root) {
    toml::table* key = FindKey(root, HiveKeyPath(hive, key_path));
    if (!key) return false;
    const auto entry = FindEntry(*key, value_name);
    if (entry == key->end() || entry->second.is_table()) return false;
    key->erase(entry);
    return true;
  });
}

}  // namespace

std::string HivePath(RegHive hive) {
  if (hive == RegHive::kCurrentUser) {
    const std::string store = EnvOrEmpty("VOLTRANE_USER_STORE");
    if (!store.empty()) return store;
    std::string config = EnvOrEmpty("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') config = HomeFolder() + "/.config";
    return config + "/voltrane/registry.toml";
  }
  const std::string store = EnvOrEmpty("VOLTRANE_MACHINE_STORE");
  return store.empty() ? "/etc/voltrane/registry.toml" : store;
}

bool SecureMachineHiveFile() {
  const int fd = open(HivePath(RegHive::kLocalMachine).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool secured = SetHiveAccess(fd, RegHive::kLocalMachine);
  close(fd);
  return secured;
}

std::string SoftwareBaseFolder() {
  CRegSettings settings;
  const std::string user = settings.GetUserStringValue(kPathsKey, "", "");
  if (!user.empty()) return user;
  const std::string machine = settings.GetMachineStringValue(kPathsKey, "", kDefaultBaseFolder);
  return machine.empty() ? kDefaultBaseFolder : machine;
}

// --- CRegKey ------------------------------------------------------------------------------

int32_t CRegKey::Open(RegHive hive, const std::string& key_path) {
  values_.clear();
  toml::table root;
  const int32_t loaded = LoadHive(HivePath(hive), root);
  if (loaded != kRegSuccess) return loaded;
  const toml::table* key = FindKey(root, HiveKeyPath(hive, key_path));
  if (!key) return kRegFileNotFound;
  for (const auto& [name, node] : *key) {
    if (node.is_table()) continue;
    values_.push_back(Value{std::string(name.str()), AsString(node), AsDWORD(node)});
  }
  return kRegSuccess;
}

const CRegKey::Value* CRegKey::Find(const std::string& value_name) const {
  const Value* match = nullptr;
  for (const auto& value : values_) {
    if (value.name == value_name) return &value;
    if (!match && base::EqualsIgnoreCase(value.name, value_name)) match = &value;
  }
  return match;
}

bool CRegKey::HasValue(const std::string& value_name) const { return Find(value_name); }

std::optional<std::string> CRegKey::StringValue(const std::string& value_name) const {
  const Value* value = Find(value_name);
  return value ? value->text : std::nullopt;
}

std::optional<int32_t> CRegKey::DWORDValue(const std::string& value_name) const {
  const Value* value = Find(value_name);
  return value ? value->number : std::nullopt;
}

std::vector<std::string> CRegKey::ValueNames() const {
  std::vector<std::string> names;
  for (const auto& value : values_) names.push_back(value.name);
  return names;
}

// --- CRegSettings -------------------------------------------------------------------------

std::string CRegSettings::GetMachineStringValue(const std::string& key_path,
                                                const std::string& value_name,
                                                const std::string& default_value) {
  return GetRegStringValue(RegHive::kLocalMachine, key_path, value_name, default_value);
}

int32_t CRegSettings::GetMachineDWORDValue(const std::string& key_path,
                                           const std::string& value_name, int32_t default_value) {
  return ReadDWORD(RegHive::kLocalMachine, key_path, value_name, default_value);
}

bool CRegSettings::SaveMachineStringValue(const std::string& key_path,
                                          const std::string& value_name, const std::string& value) {
  return SaveValue(RegHive::kLocalMachine, key_path, value_name, value);
}

bool CRegSettings::SaveMachineDWORDValue(const std::string& key_path, const std::string& value_name,
                                         int32_t value) {
  return SaveValue(RegHive::kLocalMachine, key_path, value_name, int64_t{value});
}

std::string CRegSettings::GetUserStringValue(const std::string& key_path,
                                             const std::string& value_name,
                                             const std::string& default_value) {
  return GetRegStringValue(RegHive::kCurrentUser, key_path, value_name, default_value);
}

bool CRegSettings::DeleteMachineKey(const std::string& parent_key_path, const std::string& subkey) {
  return DeleteKey(RegHive::kLocalMachine, parent_key_path, subkey);
}

bool CRegSettings::DeleteMachineItem(const std::string& key_path, const std::string& value_name) {
  return DeleteItem(RegHive::kLocalMachine, key_path, value_name);
}

std::string CRegSettings::GetRegStringValue(RegHive hive, const std::string& key_path,
                                            const std::string& value_name,
                                            const std::string& default_value) {
  return ReadString(hive, key_path, value_name).value_or(default_value);
}

}  // namespace voltrane
