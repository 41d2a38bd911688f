// WizardPrompts: the message boxes the wizard's rules need, as an interface,
// so that the rules run without widgets: the Qt view answers with message
// boxes, the no-GUI mode on the terminal, tests with scripted answers. Every
// box carries the application title; the rules only pass the text.
#ifndef VOLTRANE_MANAGER_WIZARD_PROMPTS_H_
#define VOLTRANE_MANAGER_WIZARD_PROMPTS_H_

#include <string>

namespace voltrane::manager {

class WizardPrompts {
 public:
  virtual ~WizardPrompts() = default;
  // An OK box.
  virtual void ShowMessage(const std::string& text) = 0;
  // Yes and No buttons; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // OK and Cancel buttons; true for OK.
  virtual bool AskOkCancel(const std::string& text) = 0;
  // Retry and Cancel buttons (the reconnection box); true for Retry.
  virtual bool AskRetryCancel(const std::string& text) = 0;
};

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_WIZARD_PROMPTS_H_
