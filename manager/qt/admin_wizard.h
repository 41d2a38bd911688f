// frmAdminWizard: the wizard's window. It builds the eight pages, shows the
// rules' state on the page being shown, writes every edit back into the
// rules and forwards Help, Cancel, Back, Next and Finish. What is valid, what
// is read and what is written is decided by CAdminWizardRules alone.
#ifndef VOLTRANE_MANAGER_QT_ADMIN_WIZARD_H_
#define VOLTRANE_MANAGER_QT_ADMIN_WIZARD_H_

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <array>
#include <memory>

#include "manager/admin_wizard_rules.h"
#include "manager/command_line_values.h"

namespace voltrane::manager {

class frmAdminWizard : public QDialog {
  Q_OBJECT
 public:
  frmAdminWizard(CDatabaseConnectionObj& connection, WizardPrompts& prompts,
                 ServiceControl& service, HostChecks host = {}, QWidget* parent = nullptr);
  ~frmAdminWizard() override;

  // Form load: the rules stop the service and read the settings; page 0 is shown.
  void LoadWizard(const CommandLineValues& values);
  CAdminWizardRules& rules() { return rules_; }

  // The buttons, for the view test.
  QPushButton* help_button() const { return help_; }
  QPushButton* cancel_button() const { return cancel_; }
  QPushButton* back_button() const { return back_; }
  QPushButton* next_button() const { return next_; }
  QPushButton* finish_button() const { return finish_; }
  QWidget* page(int index) const { return stack_->widget(index); }

  // The help page shipped with the program.
  static QString HelpFilePath();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;

 private:
  QWidget* BuildKindPage();
  QWidget* BuildOraclePage();
  QWidget* BuildFilePage();
  QWidget* BuildServerPage();
  QWidget* BuildOptionsPage();
  QWidget* BuildLocksPage();
  QWidget* BuildAutoNewPage();
  QWidget* BuildHeartbeatPage();
  // Page 7's choice of who processes the log: this computer or the collector group.
  QGroupBox* BuildDesignation();
  QLineEdit* NewField(bool password = false);

  void ShowCurrentPage();
  void RenderPage(int page);
  void RenderOptions();
  void RenderLocks();
  void RenderAutoNew();
  void RenderHeartbeats();
  void RenderDesignation();
  void RefreshButtons();
  void RefreshEnabling();
  void OnNext();
  void OnBack();
  void OnFinish();
  void OnCancel();
  void OnHelp();
  void BrowseDatabaseFile();
  void CommitGrids();

  CAdminWizardRules rules_;
  bool closing_ = false;
  QStackedWidget* stack_ = nullptr;
  QPushButton *help_ = nullptr, *cancel_ = nullptr, *back_ = nullptr, *next_ = nullptr,
              *finish_ = nullptr;
  // Page 0.
  QButtonGroup* kinds_ = nullptr;
  QLabel* library_version_ = nullptr;
  // Page 1.
  QLineEdit *oracle_user_ = nullptr, *oracle_password_ = nullptr, *oracle_host_ = nullptr;
  // Page 2.
  QLabel* file_caption_ = nullptr;
  QLineEdit* file_path_ = nullptr;
  // Page 3.
  QLineEdit *server_user_ = nullptr, *server_password_ = nullptr, *server_ = nullptr;
  QComboBox* database_list_ = nullptr;
  QTimer database_list_retry_;
  // Page 4.
  QLineEdit *timeout_ = nullptr, *log_days_ = nullptr, *idle_timeout_ = nullptr,
            *response_timeout_ = nullptr;
  std::array<QCheckBox*, 6> option_boxes_{};
  QCheckBox* auto_idle_ = nullptr;
  QComboBox* idle_downtime_ = nullptr;
  QWidget *idle_group_ = nullptr, *auto_idle_group_ = nullptr;
  // Page 5.
  QTableWidget* lock_grid_ = nullptr;
  QButtonGroup *setup_lock_ = nullptr, *teardown_lock_ = nullptr;
  // Page 6.
  QCheckBox *auto_parts_ = nullptr, *auto_serials_ = nullptr, *auto_jobs_ = nullptr,
            *auto_ops_ = nullptr;
  QGroupBox *part_defaults_ = nullptr, *job_defaults_ = nullptr, *op_defaults_ = nullptr;
  QComboBox *part_type_ = nullptr, *job_status_ = nullptr;
  QLineEdit *part_revision_ = nullptr, *op_revision_ = nullptr;
  QLabel *part_type_label_ = nullptr, *part_revision_label_ = nullptr, *job_status_label_ = nullptr,
         *op_revision_label_ = nullptr;
  // Page 7.
  QTableWidget* heartbeat_grid_ = nullptr;
  QComboBox* machine_downtime_ = nullptr;
  QLineEdit* return_timeout_ = nullptr;
  QLabel *machine_downtime_label_ = nullptr, *return_timeout_label_ = nullptr;
  QCheckBox* start_service_ = nullptr;
  QRadioButton *designate_computer_ = nullptr, *designate_group_ = nullptr;
  QLineEdit* member_name_ = nullptr;
  QLabel *member_name_label_ = nullptr, *group_hint_ = nullptr;
};

// The program with a window: the single-instance handshake, the root check,
// then the wizard. Returns the process's exit code.
int RunWizardApplication(int argc, char** argv, const CommandLineValues& values);

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_QT_ADMIN_WIZARD_H_
