#include "settings/reg_settings.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <toml++/toml.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace voltrane {
namespace {

namespace fs = std::filesystem;

constexpr const char* kKey = "Software\\Voltrane\\MDCService";

// Points both hives at files in a fresh folder (in subfolders that do not exist yet).
class RegSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "regsettings.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    machine_ = root_ / "etc" / "registry.toml";
    user_ = root_ / "home" / "registry.toml";
    setenv("VOLTRANE_MACHINE_STORE", machine_.c_str(), 1);
    setenv("VOLTRANE_USER_STORE", user_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("VOLTRANE_MACHINE_STORE");
    unsetenv("VOLTRANE_USER_STORE");
    fs::remove_all(root_);
  }

  static void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  }
  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  CRegSettings settings_;
  fs::path root_;
  fs::path machine_;
  fs::path user_;
};

TEST_F(RegSettingsTest, StringsAndDWORDsRoundTripInBothHives) {
  EXPECT_TRUE(settings_.SaveMachineStringValue(kKey, "DatabaseType", "SQLite"));
  EXPECT_TRUE(settings_.SaveMachineDWORDValue(kKey, "Timeout", 3500));
  EXPECT_TRUE(settings_.SaveMachineDWORDValue(kKey, "Negative", -2));
  EXPECT_TRUE(settings_.SaveMachineStringValue(kKey, "", "default value"));
  EXPECT_TRUE(settings_.SaveMachineStringValue(kKey, "Odd", "a\\b \"q\"\n\ttail ü"));
  WriteFile(user_, "[Software.Voltrane.MDCService]\nDatabaseType = 'Oracle'\n");

  EXPECT_EQ(settings_.GetMachineStringValue(kKey, "DatabaseType", "x"), "SQLite");
  EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "Timeout", 1), 3500);
  EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "Negative", 1), -2);
  EXPECT_EQ(settings_.GetMachineStringValue(kKey, "", "x"), "default value");
  EXPECT_EQ(settings_.GetMachineStringValue(kKey, "Odd", "x"), "a\\b \"q\"\n\ttail ü");
  EXPECT_EQ(settings_.GetUserStringValue(kKey, "DatabaseType", "x"), "Oracle");

  // Overwriting keeps one value, of the new type.
  EXPECT_TRUE(settings_.SaveMachineDWORDValue(kKey, "DatabaseType", 7));
  EXPECT_EQ(settings_.GetMachineStringValue(kKey, "DatabaseType", "gone"), "gone");
  EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "DatabaseType", 0), 7);
}

TEST_F(RegSettingsTest, TheFileIsPlainTomlWithOneTablePerKey) {
  ASSERT_TRUE(settings_.SaveMachineDWORDValue(kKey, "Timeout", 3000));
  ASSERT_TRUE(settings_.SaveMachineStringValue("Software\\Voltrane\\Paths", "", "/opt/v"));
  const toml::table file = toml::parse_file(machine_.string());
  EXPECT_EQ(file["Software"]["Voltrane"]["MDCService"]["Timeout"].value<int64_t>(), 3000);
  EXPECT_EQ(file["Software"]["Voltrane"]["Paths"][""].value<std::string>(), "/opt/v");
}

TEST_F(RegSettingsTest, NamesMatchWithoutRegardToCase) {
  ASSERT_TRUE(settings_.SaveMachineDWORDValue(kKey, "Timeout", 3000));
  EXPECT_EQ(settings_.GetMachineDWORDValue("software\\VOLTRANE\\mdcservice", "TIMEOUT", 0), 3000);
  // A write in another spelling updates the existing value instead of adding a twin.
  ASSERT_TRUE(settings_.SaveMachineDWORDValue("SOFTWARE\\voltrane\\MDCSERVICE", "timeout", 5));
  const toml::table file = toml::parse_file(machine_.string());
  const auto* key = file["Software"]["Voltrane"]["MDCService"].as_table();
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->size(), 1u);
  EXPECT_EQ((*key)["Timeout"].value<int64_t>(), 5);
}

TEST_F(RegSettingsTest, ReadersGiveTheDefaultAndWriteNothing) {
  EXPECT_EQ(settings_.GetMachineStringValue(kKey, "DatabaseType", "none"), "none");
  EXPECT_EQ(settings_.GetUserStringValue(kKey, "DatabaseType", "none"), "none");
  EXPECT_FALSE(fs::exists(root_ / "etc"));
  EXPECT_FALSE(fs::exists(root_ / "home"));

  WriteFile(machine_,
            "[Software.Voltrane.MDCService]\n"
            "Text = 'abc'\nNumber = 12\nFloat = 1.5\nFlag = true\n"
            "Unsigned = 4294967295\nWide = 4294967296\nTooNegative = -2147483649\n");
  EXPECT_EQ(settings_.GetMachineStringValue(kKey, "Number", "d"), "d");
  EXPECT_EQ(settings_.GetMachineStringValue(kKey, "Missing", "d"), "d");
  EXPECT_EQ(settings_.GetMachineStringValue("Software\\Other", "Text", "d"), "d");
  EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "Text", -5), -5);
  EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "Float", -5), -5);
  EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "Flag", -5), -5);
  // Four bytes: 0xFFFFFFFF written by hand reads as -1; anything wider is no DWORD.
  EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "Unsigned", 0), -1);
  EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "Wide", -5), -5);
  EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "TooNegative", -5), -5);
  // A value is not a key.
  EXPECT_EQ(settings_.GetMachineStringValue(kKey + std::string("\\Text"), "", "d"), "d");
}

TEST_F(RegSettingsTest, DamagedHiveIsReadAsEmptyAndNeverOverwritten) {
  const std::string damaged = "[Software.Voltrane.MDCService\nDatabaseType = 'SQLite'\n";
  WriteFile(machine_, damaged);
  EXPECT_EQ(settings_.GetMachineStringValue(kKey, "DatabaseType", "none"), "none");
  EXPECT_FALSE(settings_.SaveMachineStringValue(kKey, "DatabaseType", "Oracle"));
  EXPECT_FALSE(settings_.SaveMachineDWORDValue(kKey, "Timeout", 1));
  EXPECT_FALSE(settings_.DeleteMachineItem(kKey, "DatabaseType"));
  EXPECT_FALSE(settings_.DeleteMachineKey("Software\\Voltrane", "MDCService"));
  EXPECT_EQ(ReadFile(machine_), damaged);
  // The other hive is not affected.
  WriteFile(user_, "[Software.Voltrane.MDCService]\nDatabaseType = 'Oracle'\n");
  EXPECT_EQ(settings_.GetUserStringValue(kKey, "DatabaseType", "none"), "Oracle");
}

TEST_F(RegSettingsTest, TextTomlCannotHoldIsRefusedAndTheFileKept) {
  ASSERT_TRUE(settings_.SaveMachineStringValue(kKey, "Path", "/ok"));
  const std::string before = ReadFile(machine_);
  EXPECT_FALSE(settings_.SaveMachineStringValue(kKey, "Path", "latin1 \xE9t\xE9"));
  EXPECT_EQ(ReadFile(machine_), before);
  EXPECT_EQ(settings_.GetMachineStringValue(kKey, "Path", ""), "/ok");
}

// The machine hive holds connection strings: its owner writes it, the service account's
// group may read it (when that group exists and the writer may give the file to it), no one
// else sees it.
void ExpectMachineHiveAccess(const fs::path& path) {
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  const group* service_group = getgrnam(kServiceAccountName);
  const bool shared = service_group != nullptr && info.st_gid == service_group->gr_gid;
  EXPECT_EQ(info.st_mode & 0777, shared ? 0640u : 0600u);
  if (service_group != nullptr && geteuid() == 0) {
    EXPECT_TRUE(shared) << "root hands it to the service account's group";
  }
}

TEST_F(RegSettingsTest, MachineHiveIsPrivateAndReplacedWithoutLeftovers) {
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(settings_.SaveMachineDWORDValue(kKey, "Value" + std::to_string(i), i));
  }
  ExpectMachineHiveAccess(machine_);

  // An existing file with a looser mode is replaced by a private one.
  chmod(machine_.c_str(), 0666);
  ASSERT_TRUE(settings_.SaveMachineDWORDValue(kKey, "Value0", 9));
  ExpectMachineHiveAccess(machine_);
  // So is one that an installation step finds.
  chmod(machine_.c_str(), 0666);
  EXPECT_TRUE(SecureMachineHiveFile());
  ExpectMachineHiveAccess(machine_);

  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(machine_.parent_path())) {
    names.insert(entry.path().filename().string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"registry.toml", "registry.toml.lock"}));
  for (int i = 1; i < 5; ++i) {
    EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "Value" + std::to_string(i), -1), i);
  }
}

TEST_F(RegSettingsTest, WriteThroughAValueIsRefused) {
  ASSERT_TRUE(settings_.SaveMachineStringValue("Software\\Voltrane", "MDCService", "a value"));
  const std::string before = ReadFile(machine_);
  EXPECT_FALSE(settings_.SaveMachineDWORDValue(kKey, "Timeout", 1));
  EXPECT_EQ(ReadFile(machine_), before);
  // Nor is a subkey replaced by a value of its name.
  ASSERT_TRUE(settings_.SaveMachineDWORDValue("Software\\Voltrane\\Paths", "x", 1));
  EXPECT_FALSE(settings_.SaveMachineStringValue("Software\\Voltrane", "Paths", "text"));
  EXPECT_EQ(settings_.GetMachineDWORDValue("Software\\Voltrane\\Paths", "x", 0), 1);
  EXPECT_EQ(settings_.GetMachineStringValue("Software\\Voltrane", "MDCService", ""), "a value");
}

TEST_F(RegSettingsTest, DeleteKeysAndItems) {
  EXPECT_FALSE(settings_.DeleteMachineItem(kKey, "Timeout"));
  EXPECT_FALSE(settings_.DeleteMachineKey("Software\\Voltrane", "MDCService"));
  EXPECT_FALSE(fs::exists(root_ / "etc"));  // a delete creates nothing

  ASSERT_TRUE(settings_.SaveMachineDWORDValue(kKey, "Timeout", 1));
  ASSERT_TRUE(settings_.SaveMachineStringValue(kKey, "Keep", "k"));
  ASSERT_TRUE(settings_.SaveMachineStringValue(kKey + std::string("\\Sub"), "x", "y"));

  EXPECT_TRUE(settings_.DeleteMachineItem(kKey, "Timeout"));
  EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "Timeout", -1), -1);
  EXPECT_FALSE(settings_.DeleteMachineItem(kKey, "Timeout"));
  EXPECT_FALSE(settings_.DeleteMachineItem(kKey, "Sub"));  // a key, not a value
  EXPECT_EQ(settings_.GetMachineStringValue(kKey, "Keep", ""), "k");

  // A key with subkeys stays, as in the registry; after its subkey goes, it can go.
  EXPECT_FALSE(settings_.DeleteMachineKey("Software\\Voltrane", "MDCService"));
  EXPECT_FALSE(settings_.DeleteMachineKey(kKey, "Missing"));
  EXPECT_FALSE(settings_.DeleteMachineKey(kKey, "Keep"));  // a value, not a key
  EXPECT_TRUE(settings_.DeleteMachineKey(kKey, "Sub"));
  EXPECT_TRUE(settings_.DeleteMachineKey("Software\\Voltrane", "MDCService"));
  EXPECT_EQ(settings_.GetMachineStringValue(kKey, "Keep", "gone"), "gone");
}

TEST_F(RegSettingsTest, TheClassesRootIsTheMachineHivesClassesKey) {
  const std::string types = "Software\\Classes\\MIME\\Database\\Content Type\\";
  ASSERT_TRUE(settings_.SaveMachineStringValue(types + "application/pdf", "Extension", ".pdf"));
  EXPECT_EQ(
      settings_.GetRegStringValue(RegHive::kClassesRoot,
                                  "MIME\\Database\\Content Type\\application/pdf", "Extension", ""),
      ".pdf");
  // The user hive is not the classes root.
  WriteFile(user_, "[Software.Classes.X]\nY = 'user'\n");
  EXPECT_EQ(settings_.GetRegStringValue(RegHive::kClassesRoot, "X", "Y", "none"), "none");
}

TEST_F(RegSettingsTest, BaseFolderFromUserThenMachineThenDefault) {
  EXPECT_EQ(SoftwareBaseFolder(), "/var/lib/voltrane");
  ASSERT_TRUE(settings_.SaveMachineStringValue(kPathsKey, "", ""));
  EXPECT_EQ(SoftwareBaseFolder(), "/var/lib/voltrane");
  ASSERT_TRUE(settings_.SaveMachineStringValue(kPathsKey, "", "/opt/machine"));
  EXPECT_EQ(SoftwareBaseFolder(), "/opt/machine");
  WriteFile(user_, "[Software.Voltrane.Paths]\n\"\" = ''\n");
  EXPECT_EQ(SoftwareBaseFolder(), "/opt/machine");
  WriteFile(user_, "[Software.Voltrane.Paths]\n\"\" = '/home/me/voltrane'\n");
  EXPECT_EQ(SoftwareBaseFolder(), "/home/me/voltrane");
}

TEST_F(RegSettingsTest, ConcurrentWritersLoseNoUpdate) {
  constexpr int kPerWriter = 30;
  auto writer = [](const std::string& prefix) {
    CRegSettings settings;
    for (int i = 0; i < kPerWriter; ++i) {
      settings.SaveMachineDWORDValue(kKey, prefix + std::to_string(i), i);
    }
  };
  std::thread first(writer, "A");
  std::thread second(writer, "B");
  first.join();
  second.join();
  for (int i = 0; i < kPerWriter; ++i) {
    EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "A" + std::to_string(i), -1), i);
    EXPECT_EQ(settings_.GetMachineDWORDValue(kKey, "B" + std::to_string(i), -1), i);
  }
}

TEST(HivePathTest, EnvironmentChoosesTheFiles) {
  setenv("VOLTRANE_USER_STORE", "", 1);
  unsetenv("VOLTRANE_MACHINE_STORE");
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(HivePath(RegHive::kCurrentUser), "/cfg/voltrane/registry.toml");
  EXPECT_EQ(HivePath(RegHive::kLocalMachine), "/etc/voltrane/registry.toml");
  EXPECT_EQ(HivePath(RegHive::kClassesRoot), "/etc/voltrane/registry.toml");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
  setenv("HOME", "/home/op", 1);
  EXPECT_EQ(HivePath(RegHive::kCurrentUser), "/home/op/.config/voltrane/registry.toml");
  setenv("VOLTRANE_USER_STORE", "/tmp/u.toml", 1);
  EXPECT_EQ(HivePath(RegHive::kCurrentUser), "/tmp/u.toml");
  unsetenv("VOLTRANE_USER_STORE");
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace voltrane
