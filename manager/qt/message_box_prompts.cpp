// Qt message boxes for the wizard's rules.
#include "manager/qt/message_box_prompts.h"

#include <QMessageBox>

#include "manager/string_resources.h"

namespace voltrane::manager {
namespace {

QMessageBox::StandardButton Ask(QWidget* parent, const std::string& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton default_button) {
  return QMessageBox::question(parent, kAppTitle, QString::fromStdString(text), buttons,
                               default_button);
}

}  // namespace

void MessageBoxPrompts::ShowMessage(const std::string& text) {
  QMessageBox::information(parent_, kAppTitle, QString::fromStdString(text));
}

bool MessageBoxPrompts::AskYesNo(const std::string& text) {
  return Ask(parent_, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
         QMessageBox::Yes;
}

bool MessageBoxPrompts::AskOkCancel(const std::string& text) {
  return Ask(parent_, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) ==
         QMessageBox::Ok;
}

bool MessageBoxPrompts::AskRetryCancel(const std::string& text) {
  return QMessageBox::warning(parent_, kAppTitle, QString::fromStdString(text),
                              QMessageBox::Retry | QMessageBox::Cancel,
                              QMessageBox::Retry) == QMessageBox::Retry;
}

}  // namespace voltrane::manager
