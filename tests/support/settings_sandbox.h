// A private settings store for one test: the machine hive switches the
// extended error log on into a temporary folder and makes that folder the
// software base folder (where the diagnostic log MDCService.log goes), so a
// test can read what the library traced and discarded. The environment and
// the library's log setting are restored when the sandbox ends. Create it
// before the library object, which reads the setting when it is created.
#ifndef VOLTRANE_TESTS_SUPPORT_SETTINGS_SANDBOX_H_
#define VOLTRANE_TESTS_SUPPORT_SETTINGS_SANDBOX_H_

#include <string>
#include <vector>

namespace testsupport {

class SettingsSandbox {
 public:
  SettingsSandbox();
  ~SettingsSandbox();
  SettingsSandbox(const SettingsSandbox&) = delete;
  SettingsSandbox& operator=(const SettingsSandbox&) = delete;

  const std::string& Folder() const { return dir_; }
  std::string TracePath() const { return dir_ + "/trace.log"; }
  std::string DiagnosticLogPath() const { return dir_ + "/MDCService.log"; }
  // Traced messages, without their time stamps.
  std::vector<std::string> Messages() const;
  bool Traced(const std::string& message) const;
  std::string DiagnosticLog() const;

 private:
  std::string dir_;
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_SETTINGS_SANDBOX_H_
