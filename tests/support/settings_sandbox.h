// A temporary settings store for one test: both hives are files in a temp
// folder (VOLTRANE_MACHINE_STORE / VOLTRANE_USER_STORE point at them), and the
// machine hive switches the library's extended error log on into the same
// folder, so tests can read what the library traced. Restores the
// environment and removes the folder when destroyed. One per test thread.
#ifndef VOLTRANE_TESTS_SUPPORT_SETTINGS_SANDBOX_H_
#define VOLTRANE_TESTS_SUPPORT_SETTINGS_SANDBOX_H_

#include <cstddef>
#include <string>
#include <vector>

namespace testsupport {

class SettingsSandbox {
 public:
  SettingsSandbox();
  ~SettingsSandbox();
  SettingsSandbox(const SettingsSandbox&) = delete;
  SettingsSandbox& operator=(const SettingsSandbox&) = delete;

  const std::string& dir() const { return dir_; }
  std::string TracePath() const { return dir_ + "/trace.log"; }

  // Rewrites both hives: the trace setting plus `machine_extra` (TOML) in the
  // machine hive, `user_extra` alone in the user hive. Library objects read
  // the trace setting when created (or through ReadExtendedErrorLogSetting).
  void WriteHives(const std::string& machine_extra, const std::string& user_extra);
  // The TOML of `Software\Voltrane\Paths` with `folder` as its default value.
  static std::string BaseFolderKey(const std::string& folder);

  // The traced messages without their time stamps, split at CR LF.
  std::vector<std::string> Messages() const;
  bool Traced(const std::string& message) const;
  size_t CountMessagesStarting(const std::string& prefix) const;

 private:
  std::string dir_;
};

std::string ReadWholeFile(const std::string& path);

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_SETTINGS_SANDBOX_H_
