#include "tests/support/settings_sandbox.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "library/extended_error_log.h"
#include "tests/support/test_databases.h"

namespace testsupport {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

SettingsSandbox::SettingsSandbox() : dir_(MakeTempDir()) {
  setenv("VOLTRANE_MACHINE_STORE", (dir_ + "/machine.toml").c_str(), 1);
  setenv("VOLTRANE_USER_STORE", (dir_ + "/user.toml").c_str(), 1);
  std::ofstream(dir_ + "/machine.toml") << "[Software.Voltrane.MDCService]\n"
                                        << "ExtendedErrorLog = \"" << TracePath() << "\"\n"
                                        << "[Software.Voltrane.Paths]\n"
                                        << "\"\" = \"" << dir_ << "\"\n";
  ReadExtendedErrorLogSetting();
}

SettingsSandbox::~SettingsSandbox() {
  unsetenv("VOLTRANE_MACHINE_STORE");
  unsetenv("VOLTRANE_USER_STORE");
  ReadExtendedErrorLogSetting();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::vector<std::string> SettingsSandbox::Messages() const {
  const std::string all = ReadAll(TracePath());
  std::vector<std::string> messages;
  for (size_t start = 0, end; (end = all.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    const std::string line = all.substr(start, end - start);
    const size_t dash = line.find(" - ");
    messages.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
  }
  return messages;
}

bool SettingsSandbox::Traced(const std::string& message) const {
  const auto messages = Messages();
  return std::find(messages.begin(), messages.end(), message) != messages.end();
}

std::string SettingsSandbox::DiagnosticLog() const { return ReadAll(DiagnosticLogPath()); }

}  // namespace testsupport
