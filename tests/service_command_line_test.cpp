// The collector's command line: the scan (last-word rule, case, "-" and "/",
// NoConsole) and what each switch does to a temporary root: registration data
// in the settings store's classes section, the systemd unit, the journal
// catalog and the systemctl/journalctl commands (recorded, never run).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "settings/reg_settings.h"
#include "service/command_line.h"
#include "service/message_catalogue.h"
#include "service/registration_data.h"
#include "service/service_identity.h"
#include "service/vmdc_service_module.h"
#include "tests/service_fakes.h"

namespace voltrane {
namespace {

constexpr const char* kProgram = "/opt/voltrane/bin/voltrane-collector";

CommandLineAction ActionOf(const std::string& line) { return ScanCommandLine(line).action; }

TEST(CommandLineScan, OnlyTheLastWordCounts) {
  EXPECT_EQ(ActionOf("/usr/bin/voltrane-collector"), CommandLineAction::kStart);
  EXPECT_EQ(ActionOf("prog -RegServer"), CommandLineAction::kRegServer);
  EXPECT_EQ(ActionOf("prog -UnregServer"), CommandLineAction::kUnregServer);
  EXPECT_EQ(ActionOf("prog -Service"), CommandLineAction::kService);
  EXPECT_EQ(ActionOf("prog -RegServer extra"), CommandLineAction::kStart);
  EXPECT_EQ(ActionOf("prog -RegServer -Service"), CommandLineAction::kService);
  EXPECT_EQ(ActionOf("prog -Service -RegServer"), CommandLineAction::kRegServer);
  EXPECT_EQ(ActionOf("prog -RegServer "), CommandLineAction::kStart);
}

TEST(CommandLineScan, SlashAndCaseDoNotMatter) {
  EXPECT_EQ(ActionOf("prog /service"), CommandLineAction::kService);
  EXPECT_EQ(ActionOf("prog -REGSERVER"), CommandLineAction::kRegServer);
  EXPECT_EQ(ActionOf("prog /unregserver"), CommandLineAction::kUnregServer);
  EXPECT_EQ(ActionOf("prog --RegServer"), CommandLineAction::kRegServer);
}

TEST(CommandLineScan, NoConsoleIsNotedAndScanningGoesOn) {
  const CommandLineScan service_then_no_console = ScanCommandLine("prog -Service -NoConsole");
  EXPECT_EQ(service_then_no_console.action, CommandLineAction::kStart);
  EXPECT_TRUE(service_then_no_console.no_console);
  EXPECT_EQ(ActionOf("prog -NoConsole -Service"), CommandLineAction::kService);
  EXPECT_FALSE(ScanCommandLine("prog").no_console);
  EXPECT_TRUE(ScanCommandLine("prog /noconsole").no_console);
}

TEST(CommandLineScan, JoinsArgumentsWithBlanks) {
  const char* argv[] = {"prog", "-Service", "-NoConsole"};
  EXPECT_EQ(JoinCommandLine(3, argv), "prog -Service -NoConsole");
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class SwitchTest : public ::testing::Test {
 protected:
  SwitchTest() {
    services_.runner = runner_;
    services_.factory = factory_;
    services_.sinks = servicetest::RecordingSinks(recorder_);
    services_.program_path = kProgram;
    services_.started_by_service_manager = [] { return false; };
    services_.account_exists = [](const std::string&) { return true; };
  }

  int RunWith(std::vector<const char*> args) {
    args.insert(args.begin(), kProgram);
    CVMDCServiceModule module(services_);
    module.RunQueue().Post(WM_QUIT);  // a started run ends at once
    return module.WinMain(static_cast<int>(args.size()), args.data());
  }

  std::string Classes(const std::string& key, const std::string& value) {
    return CRegSettings().GetMachineStringValue(key, value, "<missing>");
  }

  servicetest::TemporaryRoot root_;
  std::shared_ptr<servicetest::RecordingRunner> runner_ =
      std::make_shared<servicetest::RecordingRunner>();
  std::shared_ptr<servicetest::FakeLibraryFactory> factory_ =
      std::make_shared<servicetest::FakeLibraryFactory>();
  std::shared_ptr<servicetest::EventRecorder> recorder_ =
      std::make_shared<servicetest::EventRecorder>();
  ServiceHostServices services_;
};

TEST_F(SwitchTest, RegServerWritesRegistrationWithoutInstalling) {
  EXPECT_EQ(RunWith({"-RegServer"}), 0);
  EXPECT_EQ(Classes(AppIdKeyPath(), ""), kServiceName);
  EXPECT_EQ(Classes(AppIdExeKeyPath(), "AppID"), kAppId);
  EXPECT_EQ(Classes(AppIdKeyPath(), "LocalService"), "<missing>");
  EXPECT_EQ(Classes(TypeLibKeyPath() + "\\1.0", ""), kTypeLibHelpString);
  EXPECT_EQ(Classes(TypeLibKeyPath() + "\\1.0\\409\\linux64", ""), kProgram);
  EXPECT_FALSE(std::filesystem::exists(root_.UnitPath()));
  EXPECT_TRUE(runner_->commands.empty());
  EXPECT_EQ(factory_->creates, 0);  // the program exits without running
}

TEST_F(SwitchTest, ServiceInstallsUnitCatalogAndRegistration) {
  EXPECT_EQ(RunWith({"/service"}), 0);
  EXPECT_EQ(Classes(AppIdKeyPath(), "LocalService"), kServiceName);
  EXPECT_EQ(Classes(AppIdKeyPath(), "ServiceParameters"), "-Service");

  const std::string unit = ReadFile(root_.UnitPath());
  EXPECT_NE(unit.find("Type=notify\n"), std::string::npos);
  EXPECT_NE(unit.find(std::string("ExecStart=\"") + kProgram + "\"\n"), std::string::npos);
  EXPECT_NE(unit.find("Restart=on-failure\n"), std::string::npos);
  EXPECT_NE(unit.find("VOLTRANE_MACHINE_STORE=" + root_.path() + "/etc/voltrane/registry.toml"),
            std::string::npos);

  const std::string catalog = ReadFile(root_.CatalogPath());
  EXPECT_NE(catalog.find(std::string("# Message file: ") + kProgram), std::string::npos);
  EXPECT_NE(catalog.find(JournalCatalogText()), std::string::npos);
  EXPECT_EQ(runner_->commands,
            (std::vector<std::string>{"journalctl --update-catalog", "systemctl daemon-reload"}));
}

// The unit runs the service as the account "voltrane"; a missing one is created first.
TEST_F(SwitchTest, ServiceCreatesAMissingServiceAccountBeforeTheUnit) {
  services_.account_exists = [](const std::string&) { return false; };
  EXPECT_EQ(RunWith({"-Service"}), 0);
  ASSERT_EQ(runner_->commands.size(), 3u);
  const std::string& useradd = runner_->commands.front();
  EXPECT_EQ(useradd.rfind("useradd --system ", 0), 0u) << useradd;
  EXPECT_NE(useradd.find(" --home-dir /var/lib/voltrane --no-create-home --shell "
                         "/usr/sbin/nologin "),
            std::string::npos)
      << useradd;
  EXPECT_EQ(useradd.substr(useradd.size() - 9), " voltrane");
  const std::string unit = ReadFile(root_.UnitPath());
  EXPECT_NE(unit.find("\nUser=voltrane\n"), std::string::npos);
  EXPECT_NE(unit.find("\nProtectSystem=strict\n"), std::string::npos);
}

// The sandbox lets the service write the state folder it names; a base folder set elsewhere
// is added.
TEST_F(SwitchTest, ServiceOpensAConfiguredBaseFolderInTheSandbox) {
  ASSERT_EQ(RunWith({"-Service"}), 0);
  EXPECT_EQ(ReadFile(root_.UnitPath()).find("ReadWritePaths=\"/"), std::string::npos);
  ASSERT_TRUE(CRegSettings().SaveMachineStringValue(kPathsKey, "", "/srv/mdc 100%"));
  ASSERT_EQ(RunWith({"-Service"}), 0);
  EXPECT_NE(ReadFile(root_.UnitPath()).find("\nReadWritePaths=\"/srv/mdc 100%%\"\n"),
            std::string::npos);
}

TEST_F(SwitchTest, ServiceAccountThatCannotBeCreatedLeavesNoUnit) {
  struct RefusingRunner : servicetest::RecordingRunner {
    int Run(const std::vector<std::string>& argv) override {
      RecordingRunner::Run(argv);
      return argv.front() == "useradd" ? 9 : 0;
    }
  };
  services_.runner = std::make_shared<RefusingRunner>();
  services_.account_exists = [](const std::string&) { return false; };
  EXPECT_EQ(RunWith({"-Service"}), 0);  // the installation's result is not the exit code
  EXPECT_FALSE(std::filesystem::exists(root_.UnitPath()));
  EXPECT_EQ(Classes(AppIdKeyPath(), "LocalService"), kServiceName);
}

TEST_F(SwitchTest, ServiceTwiceLeavesOneInstallationOfTheLastRun) {
  ASSERT_EQ(RunWith({"-Service"}), 0);
  services_.program_path = "/srv/other/voltrane-collector";
  runner_->commands.clear();
  ASSERT_EQ(RunWith({"-Service"}), 0);

  EXPECT_NE(ReadFile(root_.UnitPath()).find("ExecStart=\"/srv/other/voltrane-collector\""),
            std::string::npos);
  EXPECT_NE(ReadFile(root_.CatalogPath()).find("# Message file: /srv/other/voltrane-collector"),
            std::string::npos);
  // The installed service is stopped and removed before the new installation.
  ASSERT_FALSE(runner_->commands.empty());
  EXPECT_EQ(runner_->commands.front(), "systemctl stop --no-block voltrane-collector.service");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_.path() + "/etc/systemd/system"),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(SwitchTest, RegServerRemovesAnInstalledService) {
  ASSERT_EQ(RunWith({"-Service"}), 0);
  runner_->commands.clear();
  EXPECT_EQ(RunWith({"-RegServer"}), 0);
  EXPECT_FALSE(std::filesystem::exists(root_.UnitPath()));
  EXPECT_FALSE(std::filesystem::exists(root_.CatalogPath()));
  EXPECT_EQ(Classes(AppIdKeyPath(), "LocalService"), "<missing>");
  EXPECT_EQ(Classes(AppIdKeyPath(), "ServiceParameters"), "-Service");  // only LocalService goes
  EXPECT_EQ(runner_->commands.front(), "systemctl stop --no-block voltrane-collector.service");
}

TEST_F(SwitchTest, UnregServerRemovesEverythingButTheAppIdKey) {
  CRegSettings().SaveMachineStringValue("Software\\Classes\\AppID\\{OTHER}", "", "other");
  ASSERT_EQ(RunWith({"-Service"}), 0);
  EXPECT_EQ(RunWith({"-UnregServer"}), 0);

  CRegKey key;
  EXPECT_NE(key.Open(RegHive::kLocalMachine, AppIdKeyPath()), kRegSuccess);
  EXPECT_NE(key.Open(RegHive::kLocalMachine, AppIdExeKeyPath()), kRegSuccess);
  EXPECT_NE(key.Open(RegHive::kLocalMachine, TypeLibKeyPath()), kRegSuccess);
  EXPECT_EQ(key.Open(RegHive::kLocalMachine, "Software\\Classes\\AppID"), kRegSuccess);
  EXPECT_EQ(Classes("Software\\Classes\\AppID\\{OTHER}", ""), "other");
  EXPECT_FALSE(std::filesystem::exists(root_.UnitPath()));
  EXPECT_FALSE(std::filesystem::exists(root_.CatalogPath()));
}

TEST_F(SwitchTest, ServiceFollowedByNoConsoleInstallsNothingAndStarts) {
  EXPECT_EQ(RunWith({"-Service", "-NoConsole"}), 0);
  EXPECT_FALSE(std::filesystem::exists(root_.UnitPath()));
  EXPECT_EQ(Classes(AppIdKeyPath(), ""), "<missing>");
  EXPECT_TRUE(runner_->commands.empty());
  // It ran as an application without the console.
  EXPECT_FALSE(recorder_->console_requested);
  EXPECT_EQ(recorder_->Statuses().front(), "Running as an application");
  EXPECT_EQ(recorder_->Count(MSG_SERVICE_STARTED), 1);
  EXPECT_EQ(recorder_->Count(MSG_SERVICE_STOPPED), 1);
}

TEST_F(SwitchTest, NoConsoleThenServiceInstalls) {
  EXPECT_EQ(RunWith({"-NoConsole", "-Service"}), 0);
  EXPECT_TRUE(std::filesystem::exists(root_.UnitPath()));
  EXPECT_TRUE(recorder_->Records().empty());  // registration reports nothing
}

TEST_F(SwitchTest, DamagedSettingsStoreFailsRegistrationWithItsCode) {
  std::ofstream(root_.path() + "/etc/voltrane/registry.toml") << "[[[ not toml";
  EXPECT_EQ(RunWith({"-RegServer"}), kRegBadDatabase);
}

TEST_F(SwitchTest, UnitFolderThatCannotBeCreatedFailsInstallationQuietly) {
  std::filesystem::create_directories(root_.path() + "/etc/systemd");
  std::ofstream(root_.path() + "/etc/systemd/system") << "a file, not a folder";
  EXPECT_EQ(RunWith({"-Service"}), 0);  // the installation's result is not the exit code
  EXPECT_TRUE(std::filesystem::is_regular_file(root_.path() + "/etc/systemd/system"));
  EXPECT_EQ(Classes(AppIdKeyPath(), "LocalService"), kServiceName);
  EXPECT_TRUE(recorder_->Records().empty());
}

}  // namespace
}  // namespace voltrane
