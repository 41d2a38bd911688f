// A temporary settings store for one test; see settings_sandbox.h.
#include "tests/support/settings_sandbox.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "library/session/extended_error_log.h"
#include "tests/support/test_databases.h"

using namespace korvex7::internal;  // the library's internals

namespace testsupport {

SettingsSandbox::SettingsSandbox() : dir_(MakeTempDir()) {
  setenv("VOLTRANE_MACHINE_STORE", (dir_ + "/machine.toml").c_str(), 1);
  setenv("VOLTRANE_USER_STORE", (dir_ + "/user.toml").c_str(), 1);
  WriteHives("", "");
}

SettingsSandbox::~SettingsSandbox() {
  unsetenv("VOLTRANE_MACHINE_STORE");
  unsetenv("VOLTRANE_USER_STORE");
  ReadExtendedErrorLogSetting();  // leave this thread with the trace off
  std::filesystem::remove_all(dir_);
}

void SettingsSandbox::WriteHives(const std::string& machine_extra, const std::string& user_extra) {
  std::ofstream(dir_ + "/machine.toml") << "[Software.Voltrane.MDCService]\n"
                                        << "ExtendedErrorLog = \"" << TracePath() << "\"\n"
                                        << machine_extra;
  std::ofstream(dir_ + "/user.toml") << user_extra;
}

std::string SettingsSandbox::BaseFolderKey(const std::string& folder) {
  return "[Software.Voltrane.Paths]\n\"\" = \"" + folder + "\"\n";
}

std::vector<std::string> SettingsSandbox::Messages() const {
  const std::string all = ReadWholeFile(TracePath());
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

size_t SettingsSandbox::CountMessagesStarting(const std::string& prefix) const {
  const auto messages = Messages();
  return static_cast<size_t>(
      std::count_if(messages.begin(), messages.end(),
                    [&](const std::string& m) { return m.starts_with(prefix); }));
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace testsupport
