// Stand-ins for the wizard's message boxes and service control: prompts that
// answer from a script and record every text, and a service that records its
// stop and start requests instead of touching systemd.
#ifndef VOLTRANE_TESTS_MANAGER_FAKES_H_
#define VOLTRANE_TESTS_MANAGER_FAKES_H_

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "manager/service_control.h"
#include "manager/wizard_prompts.h"

namespace testsupport {

class ScriptedPrompts : public voltrane::manager::WizardPrompts {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::string& text) override { return Answer(text, yes_no); }
  bool AskOkCancel(const std::string& text) override { return Answer(text, ok_cancel); }
  bool AskRetryCancel(const std::string& text) override { return Answer(text, retry_cancel); }

  bool Shown(const std::string& text) const {
    return std::find(messages.begin(), messages.end(), text) != messages.end();
  }

  // Answers in turn; an exhausted script answers No / Cancel.
  std::deque<bool> yes_no, ok_cancel, retry_cancel;
  std::vector<std::string> messages;
  std::vector<std::string> questions;

 private:
  bool Answer(const std::string& text, std::deque<bool>& script) {
    questions.push_back(text);
    if (script.empty()) return false;
    const bool answer = script.front();
    script.pop_front();
    return answer;
  }
};

class FakeServiceControl : public voltrane::manager::ServiceControl {
 public:
  bool StopIfRunning() override {
    ++stops;
    const bool was = running;
    running = false;
    return was;
  }
  bool Start() override {
    ++starts;
    if (start_works) running = true;
    return start_works;
  }

  bool running = false;
  bool start_works = true;
  int stops = 0;
  int starts = 0;
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_MANAGER_FAKES_H_
