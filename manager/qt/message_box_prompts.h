// The wizard's message boxes as Qt message boxes, captioned with the
// application title, parented to the wizard window.
#ifndef VOLTRANE_MANAGER_QT_MESSAGE_BOX_PROMPTS_H_
#define VOLTRANE_MANAGER_QT_MESSAGE_BOX_PROMPTS_H_

#include <QWidget>

#include "manager/wizard_prompts.h"

namespace voltrane::manager {

class MessageBoxPrompts : public WizardPrompts {
 public:
  void set_parent(QWidget* parent) { parent_ = parent; }
  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  bool AskOkCancel(const std::string& text) override;
  bool AskRetryCancel(const std::string& text) override;

 private:
  QWidget* parent_ = nullptr;
};

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_QT_MESSAGE_BOX_PROMPTS_H_
