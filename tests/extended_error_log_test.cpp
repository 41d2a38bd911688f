// The extended error log: read from the machine hive of the settings store,
// one time-stamped line per message, nothing at all when switched off, and
// state held per thread.
#include "library/session/extended_error_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "dbaccess/clock.h"
#include "dbaccess/db_error.h"
#include "library/korvex7_obj.h"
#include "tests/support/fake_provider.h"
#include "tests/support/test_databases.h"

using namespace korvex7::internal;  // the library's internals

namespace {

namespace fs = std::filesystem;

class ExtendedErrorLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::MakeTempDir();
    store_ = dir_ + "/registry.toml";
    setenv("VOLTRANE_MACHINE_STORE", store_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("VOLTRANE_MACHINE_STORE");
    ReadExtendedErrorLogSetting();  // leave this thread with the log off
    fs::remove_all(dir_);
  }

  void WriteStore(const std::string& service_values) {
    std::ofstream(store_) << "[Software.Voltrane.MDCService]\n" << service_values << "\n";
  }

  std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  size_t FilesInDir() {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  std::string dir_;
  std::string store_;
};

TEST_F(ExtendedErrorLogTest, WritesOneTimeStampedLinePerMessage) {
  const std::string log = dir_ + "/trace.log";
  WriteStore("ExtendedErrorLog = \"" + log + "\"");
  ReadExtendedErrorLogSetting();
  ASSERT_TRUE(ExtendedErrorLogEnabled());

  WriteExtendedErrorLog("ConnectToDatabase");
  WriteExtendedErrorLog("select 1");

  const std::regex lines(
      "\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2} - ConnectToDatabase\r\n"
      "\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2} - select 1\r\n");
  EXPECT_TRUE(std::regex_match(ReadFile(log), lines)) << ReadFile(log);
}

TEST_F(ExtendedErrorLogTest, AbsentEmptyOrNonTextSettingWritesNothing) {
  for (const std::string values : {"", "ExtendedErrorLog = \"\"", "ExtendedErrorLog = 5"}) {
    WriteStore(values);
    ReadExtendedErrorLogSetting();
    EXPECT_FALSE(ExtendedErrorLogEnabled()) << values;
    WriteExtendedErrorLog("nobody reads this");
    EXPECT_EQ(FilesInDir(), 1u) << values;  // only the store itself
  }
  fs::remove(store_);
  ReadExtendedErrorLogSetting();
  EXPECT_FALSE(ExtendedErrorLogEnabled());
}

TEST_F(ExtendedErrorLogTest, AnUnwritablePathIsSilentlyIgnored) {
  WriteStore("ExtendedErrorLog = \"" + dir_ + "/missing-folder/trace.log\"");
  ReadExtendedErrorLogSetting();
  EXPECT_NO_THROW(WriteExtendedErrorLog("lost line"));
  EXPECT_FALSE(fs::exists(dir_ + "/missing-folder"));
}

TEST_F(ExtendedErrorLogTest, TheSettingIsPerThread) {
  WriteStore("ExtendedErrorLog = \"" + dir_ + "/trace.log\"");
  ReadExtendedErrorLogSetting();
  bool other_thread_enabled = true;
  std::thread([&] { other_thread_enabled = ExtendedErrorLogEnabled(); }).join();
  EXPECT_FALSE(other_thread_enabled);
  EXPECT_TRUE(ExtendedErrorLogEnabled());
}

TEST_F(ExtendedErrorLogTest, ALibraryObjectReadsTheSettingAndTracesItsEnd) {
  const std::string log = dir_ + "/trace.log";
  WriteStore("ExtendedErrorLog = \"" + log + "\"");
  {
    CKorvex7Obj object(std::make_shared<dbaccess::ManualClock>());
    EXPECT_TRUE(ExtendedErrorLogEnabled());
  }
  // The end flushes the (empty) delete queue, which traces its count.
  EXPECT_TRUE(std::regex_match(ReadFile(log), std::regex(".* - Korvex7 Terminate\r\n"
                                                         ".* - FlushDeleteQueue Count=0\r\n")))
      << ReadFile(log);
}

TEST_F(ExtendedErrorLogTest, AFailedConnectIsTracedWithoutItsPassword) {
  const std::string log = dir_ + "/trace.log";
  WriteStore("ExtendedErrorLog = \"" + log + "\"");
  auto script = std::make_shared<testsupport::FakeScript>();
  script->open_default = {dbaccess::kErrLoginFailed, "Login failed."};
  testsupport::FakeProviderRegistration registration("FakeDb", script);
  {
    CKorvex7Obj object(std::make_shared<dbaccess::ManualClock>());
    std::string error;
    EXPECT_FALSE(object.ConnectToDatabase(
        "Provider=FakeDb;Data Source=srv;User ID=sa;Password=hunter2;", 3, error));
  }
  const std::string text = ReadFile(log);
  EXPECT_NE(text.find(" - ConnectToDatabase\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" - Connection Error # -2147217843 - Login failed.\r\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find(" - tried connection string :Provider=FakeDb;Data Source=srv;User ID=sa;"
                      "Password=****;\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(" - 0x80040E4D: Login failed.\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("hunter2"), std::string::npos);
}

}  // namespace
