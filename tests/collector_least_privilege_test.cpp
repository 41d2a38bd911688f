// The built voltrane-collector run as the unprivileged service account
// "voltrane" through runuser, set up as an installation sets it up: its base
// folder and SQLite database belong to the account, the settings store is
// root's and readable by the account's group, and the instance lock lies in a
// shared folder with the sticky bit, as /run/lock is. The collector must
// process rows on SQLite and on PostgreSQL (TCP), refuse a second instance of
// its own account and of root, and leave no world-readable database file; a
// class registration naming a library that others can write is refused with a
// clear report.
//
// systemd does not run here: the sandbox of the unit itself is checked by
// unit_sandbox_test.sh. Needs root (to start a process as another account,
// and to create the account when it is missing); skipped otherwise.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/recordset.h"
#include "settings/reg_settings.h"
#include "library/korvex7.h"
#include "service/command_runner.h"
#include "service/service_account.h"
#include "tests/support/child_process.h"
#include "tests/support/shop_floor_db.h"
#include "tests/support/test_databases.h"

namespace {

using testsupport::ChildProcess;
using testsupport::WaitFor;
using voltrane::CRegSettings;
using voltrane::kServiceAccountName;

constexpr const char* kClsid = "{A09D7A08-B28E-40B1-8E1B-01D5F54B6DBA}";
constexpr const char* kRunuser = "/usr/sbin/runuser";
constexpr const char* kConnected = "Database connection successfully initialized.";
constexpr const char* kAnotherInstance =
    "There is another instance of this application already running";

class LeastPrivilegeTest : public testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) {
      GTEST_SKIP() << "runs the collector as the account " << kServiceAccountName
                   << " through runuser, which needs root";
    }
    ASSERT_NO_FATAL_FAILURE(FindOrCreateAccount());
    dir_ = testsupport::MakeTempDir();
    chmod(dir_.c_str(), 0755);  // the account reaches the settings store and its folders
    base_ = dir_ + "/voltrane";
    lock_dir_ = dir_ + "/lock";
    std::filesystem::create_directory(base_);
    ASSERT_EQ(chown(base_.c_str(), account_uid_, account_gid_), 0);
    chmod(base_.c_str(), 0750);
    std::filesystem::create_directory(lock_dir_);
    chmod(lock_dir_.c_str(), 01777);
    // The build folder may sit where the account cannot reach (a private
    // checkout): the account runs copies.
    collector_ = dir_ + "/voltrane-collector";
    library_ = dir_ + "/libkorvex7.so";
    std::filesystem::copy_file(COLLECTOR_PATH, collector_);
    std::filesystem::copy_file(KORVEX7_LIBRARY_PATH, library_);
    chmod(collector_.c_str(), 0755);
    chmod(library_.c_str(), 0644);
    setenv("VOLTRANE_MACHINE_STORE", (dir_ + "/registry.toml").c_str(), 1);
    setenv("VOLTRANE_USER_STORE", (dir_ + "/user.toml").c_str(), 1);
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS"}) ShareSanitizerSuppressions(name);
  }

  // A sanitizer build's collector reads its suppressions file at start; the
  // account gets a copy where it can read it.
  void ShareSanitizerSuppressions(const char* variable) {
    const char* value = getenv(variable);
    if (value == nullptr) return;
    std::string options = value;
    const std::string key = "suppressions=";
    const size_t begin = options.find(key);
    if (begin == std::string::npos) return;
    const size_t path_begin = begin + key.size();
    const size_t path_end = std::min(options.find(':', path_begin), options.size());
    const std::string copy = dir_ + "/" + variable + ".supp";
    std::error_code error;
    std::filesystem::copy_file(options.substr(path_begin, path_end - path_begin), copy, error);
    if (error) return;
    chmod(copy.c_str(), 0644);
    saved_options_.emplace_back(variable, options);
    options.replace(path_begin, path_end - path_begin, copy);
    setenv(variable, options.c_str(), 1);
  }

  void TearDown() override {
    for (auto& collector : collectors_) Stop(*collector);
    collectors_.clear();
    object_.reset();
    reader_.reset();
    if (database_ && database_->kind != 3) testsupport::DropTestDatabase(*database_);
    unsetenv("VOLTRANE_MACHINE_STORE");
    unsetenv("VOLTRANE_USER_STORE");
    for (const auto& [variable, options] : saved_options_) setenv(variable.c_str(), options.c_str(), 1);
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  void FindOrCreateAccount() {
    if (!voltrane::SystemAccountExists(kServiceAccountName)) {
      ASSERT_EQ(voltrane::SpawnCommandRunner().Run(voltrane::CreateServiceAccountCommand()), 0)
          << "cannot create the account " << kServiceAccountName;
    }
    const passwd* account = getpwnam(kServiceAccountName);
    ASSERT_NE(account, nullptr);
    account_uid_ = account->pw_uid;
    account_gid_ = account->pw_gid;
  }

  // The demo plant: a SQLite file that root creates in the base folder (it belongs to the
  // folder's owner), or a database on the test PostgreSQL server.
  void CreateDatabase(const std::string& kind) {
    if (kind == "PostgreSQL") {
      database_ = testsupport::CreateShopFloorDatabase(kind, true);
      return;
    }
    database_ =
        testsupport::TestDatabase{"SQLite", 3, "Provider=SQLite;Data Source=" + base_ + "/mdc.db;"};
    dbaccess::Connection connection;
    connection.Open(database_->connection_string);
    testsupport::LoadShopFloorSchema(connection, 3, true);
  }

  // The settings as the manager writes them (root), with the class registration naming
  // `library`, and a short idle timeout.
  void WriteSettings(const std::string& library) {
    CRegSettings settings;
    const std::string kind = database_->name;
    ASSERT_TRUE(settings.SaveMachineStringValue(voltrane::kServiceKey, "DatabaseType", kind));
    ASSERT_TRUE(settings.SaveMachineStringValue(voltrane::kServiceKey, kind + "ConnectionString",
                                                database_->connection_string));
    ASSERT_TRUE(settings.SaveMachineDWORDValue(voltrane::kServiceKey, "Timeout", 100));
    ASSERT_TRUE(settings.SaveMachineDWORDValue(voltrane::kServiceKey, "EnableIcon", 0));
    ASSERT_TRUE(settings.SaveMachineStringValue(voltrane::kPathsKey, "", base_));
    ASSERT_TRUE(settings.SaveMachineStringValue(
        std::string("Software\\Classes\\") + kKorvex7ProgId + "\\CLSID", "", kClsid));
    ASSERT_TRUE(settings.SaveMachineStringValue(
        std::string("Software\\Classes\\CLSID\\") + kClsid + "\\InprocServer32", "", library));
  }

  // The collector as the service account (or, with as_root, as root), its output in
  // <name>.log.
  ChildProcess& Start(const std::string& name, bool as_root = false) {
    std::vector<std::string> command{kRunuser, "-u", kServiceAccountName, "--", collector_};
    if (as_root) command = {collector_};
    collectors_.push_back(std::make_unique<ChildProcess>(
        command, std::map<std::string, std::string>{{"VOLTRANE_LOCK_DIR", lock_dir_}},
        dir_ + "/" + name + ".log"));
    return *collectors_.back();
  }

  // SIGTERM; runuser passes it on and reports the end of the session.
  static void Stop(ChildProcess& collector) {
    collector.Signal(SIGTERM);
    collector.WaitForExit(10000);
  }

  void Append(const std::string& machine, const std::string& param) {
    if (!object_) {
      _CKorvex7Obj* raw = nullptr;
      ASSERT_EQ(Korvex7CreateObject(kKorvex7ProgId, kKorvex7InterfaceId, &raw), 0);
      object_.reset(raw);
      std::string error;
      ASSERT_TRUE(object_->ConnectToDatabase(database_->connection_string, database_->kind, error))
          << error;
    }
    std::string error;
    ASSERT_TRUE(object_->AppendItemToMDCLog2(machine, 20, param, 2, error)) << error;
  }

  int64_t Events() {
    try {
      if (!reader_) {
        reader_ = std::make_shared<dbaccess::Connection>();
        reader_->Open(database_->connection_string);
      }
      dbaccess::Recordset rs;
      rs.Open("select count(*) from T_SFC_EVENT", reader_);
      return rs.Fields(size_t{0}).Value().ToInt64();
    } catch (...) {
      reader_.reset();
      return -1;
    }
  }

  std::string dir_;
  std::vector<std::pair<std::string, std::string>> saved_options_;  // variable, its value before
  std::string base_;
  std::string collector_;
  std::string library_;
  std::string lock_dir_;
  uid_t account_uid_ = 0;
  gid_t account_gid_ = 0;
  std::optional<testsupport::TestDatabase> database_;
  std::vector<std::unique_ptr<ChildProcess>> collectors_;
  std::unique_ptr<_CKorvex7Obj, void (*)(_CKorvex7Obj*)> object_{nullptr, Korvex7ReleaseObject};
  std::shared_ptr<dbaccess::Connection> reader_;
};

class LeastPrivilegeKindTest : public LeastPrivilegeTest,
                               public testing::WithParamInterface<std::string> {};

TEST_P(LeastPrivilegeKindTest, ProcessesRowsAndRefusesASecondInstance) {
  ASSERT_NO_FATAL_FAILURE(CreateDatabase(GetParam()));
  ASSERT_NO_FATAL_FAILURE(WriteSettings(library_));
  ChildProcess& collector = Start("collector");
  ASSERT_TRUE(
      WaitFor([&] { return collector.Output().find(kConnected) != std::string::npos; }, 30000))
      << collector.Output();
  for (int i = 0; i < 5; ++i) ASSERT_NO_FATAL_FAILURE(Append("101", "row " + std::to_string(i)));
  EXPECT_TRUE(WaitFor([&] { return Events() == 5; }, 30000)) << collector.Output();

  // A second copy of the same account, and one of root, find the lock taken.
  for (const bool as_root : {false, true}) {
    ChildProcess& second = Start(as_root ? "second-root" : "second-account", as_root);
    EXPECT_TRUE(second.WaitForExit(30000).has_value()) << "a second instance keeps running";
    EXPECT_NE(second.Output().find(kAnotherInstance), std::string::npos) << second.Output();
    EXPECT_EQ(second.Output().find(kConnected), std::string::npos) << second.Output();
  }
  ASSERT_TRUE(collector.Running()) << collector.Output();
  ASSERT_NO_FATAL_FAILURE(Append("102", "after the second instance"));
  EXPECT_TRUE(WaitFor([&] { return Events() == 6; }, 30000)) << collector.Output();

  Stop(collector);
  EXPECT_FALSE(collector.Running());
  EXPECT_NE(collector.Output().find("Service successfully stopped."), std::string::npos)
      << collector.Output();
  // What root and the collector left in the base folder is the account's and hidden from
  // other users.
  for (const auto& entry : std::filesystem::directory_iterator(base_)) {
    struct stat info {};
    ASSERT_EQ(stat(entry.path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0007, 0u) << entry.path() << " is open to other users";
    EXPECT_EQ(info.st_uid, account_uid_) << entry.path();
  }
}

TEST_F(LeastPrivilegeTest, RegistrationNamingALibraryWritableByOthersIsRefused) {
  ASSERT_NO_FATAL_FAILURE(CreateDatabase("SQLite"));
  const std::string library = dir_ + "/lib/libkorvex7.so";
  std::filesystem::create_directory(dir_ + "/lib");
  std::filesystem::copy_file(KORVEX7_LIBRARY_PATH, library);
  chmod(library.c_str(), 0666);
  ASSERT_NO_FATAL_FAILURE(WriteSettings(library));

  ChildProcess& collector = Start("collector");
  const std::string report = "The library is not loaded: The library file " + library +
                             " is writable by others (mode 0666).";
  EXPECT_TRUE(WaitFor(
      [&] { return collector.Output().find("COM creation error 5.") != std::string::npos; }, 30000))
      << collector.Output();
  EXPECT_NE(collector.Output().find(report), std::string::npos) << collector.Output();
  EXPECT_EQ(collector.Output().find(kConnected), std::string::npos) << collector.Output();
}

INSTANTIATE_TEST_SUITE_P(AllKinds, LeastPrivilegeKindTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
