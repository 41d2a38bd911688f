// The wizard window's frame: the picture, the page stack, the buttons and
// their forwarding to the rules, help, and the program with a window.
#include "manager/qt/admin_wizard.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "manager/host_checks.h"
#include "manager/kind_pages.h"
#include "manager/qt/message_box_prompts.h"
#include "manager/qt/single_instance.h"
#include "manager/string_resources.h"

namespace voltrane::manager {
namespace {

QString Res(int id) { return QString::fromStdString(LoadResText(id)); }

// The wizard's picture: the "MDC" mark.
QLabel* NewPicture() {
  QPixmap pixmap(120, 360);
  pixmap.fill(QColor(0x1F, 0x3A, 0x5F));
  QPainter painter(&pixmap);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setPointSize(26);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(pixmap.rect(), Qt::AlignCenter, "MDC");
  painter.end();
  auto* picture = new QLabel;
  picture->setPixmap(pixmap);
  return picture;
}

// The filter strings of the resources ("text|pattern") as Qt writes them ("text").
QString DialogFilter(int id) { return Res(id).section('|', 0, 0); }

}  // namespace

frmAdminWizard::frmAdminWizard(CDatabaseConnectionObj& connection, WizardPrompts& prompts,
                               ServiceControl& service, HostChecks host, QWidget* parent)
    : QDialog(parent), rules_(connection, prompts, service, std::move(host)) {
  stack_ = new QStackedWidget;
  stack_->addWidget(BuildKindPage());
  stack_->addWidget(BuildOraclePage());
  stack_->addWidget(BuildFilePage());
  stack_->addWidget(BuildServerPage());
  stack_->addWidget(BuildOptionsPage());
  stack_->addWidget(BuildLocksPage());
  stack_->addWidget(BuildAutoNewPage());
  stack_->addWidget(BuildHeartbeatPage());

  help_ = new QPushButton(Res(res::kHelp));
  cancel_ = new QPushButton(Res(res::kCancel));
  back_ = new QPushButton(Res(res::kBack));
  next_ = new QPushButton(Res(res::kNext));
  finish_ = new QPushButton(Res(res::kFinish));
  for (QPushButton* button : {help_, cancel_, back_, next_, finish_}) button->setAutoDefault(false);
  connect(help_, &QPushButton::clicked, this, &frmAdminWizard::OnHelp);
  connect(cancel_, &QPushButton::clicked, this, &frmAdminWizard::OnCancel);
  connect(back_, &QPushButton::clicked, this, &frmAdminWizard::OnBack);
  connect(next_, &QPushButton::clicked, this, &frmAdminWizard::OnNext);
  connect(finish_, &QPushButton::clicked, this, &frmAdminWizard::OnFinish);
  connect(&database_list_retry_, &QTimer::timeout, this, &frmAdminWizard::RefreshButtons);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(help_);
  buttons->addStretch();
  for (QPushButton* button : {cancel_, back_, next_, finish_}) buttons->addWidget(button);
  auto* body = new QHBoxLayout;
  body->addWidget(NewPicture());
  body->addWidget(stack_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addLayout(buttons);
  resize(720, 460);
}

frmAdminWizard::~frmAdminWizard() = default;

void frmAdminWizard::LoadWizard(const CommandLineValues& values) {
  rules_.Load(values);
  ShowCurrentPage();
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void frmAdminWizard::ShowCurrentPage() {
  const int page = rules_.CurrentPage();
  for (int i = 0; i < stack_->count(); ++i) stack_->widget(i)->setEnabled(i == page);
  stack_->setCurrentIndex(page);
  RenderPage(page);
  setWindowTitle(QString::fromStdString(rules_.WindowTitle()));
  RefreshButtons();
  (page == 7 ? finish_ : next_)->setDefault(true);
  (page == 7 ? next_ : finish_)->setDefault(false);
}

void frmAdminWizard::RefreshButtons() {
  if (closing_) return;
  CommitGrids();
  const ButtonStates states = rules_.UpdateButtons();
  back_->setEnabled(states.back);
  next_->setEnabled(states.next);
  finish_->setEnabled(states.finish);
  RefreshEnabling();
}

void frmAdminWizard::RefreshEnabling() {
  idle_timeout_->setEnabled(rules_.IdleFieldsEnabled());
  auto_idle_->setEnabled(rules_.IdleFieldsEnabled());
  auto_idle_group_->setEnabled(rules_.AutoIdleFieldsEnabled());
  const AutoNewPage& page = rules_.auto_new;
  part_defaults_->setEnabled(page.auto_parts);
  job_defaults_->setEnabled(page.auto_jobs);
  op_defaults_->setEnabled(page.auto_ops);
  // Required fields of an active group have their labels drawn in blue.
  const auto mark = [](QLabel* label, bool on) {
    label->setStyleSheet(on ? "color: #0000FF" : "");
  };
  mark(part_type_label_, page.auto_parts);
  mark(part_revision_label_, page.auto_parts);
  mark(job_status_label_, page.auto_jobs);
  mark(op_revision_label_, page.auto_ops);
  const bool heartbeat = rules_.HeartbeatControlsEnabled();
  for (QWidget* widget : std::initializer_list<QWidget*>{machine_downtime_, machine_downtime_label_,
                                                         return_timeout_, return_timeout_label_})
    widget->setEnabled(heartbeat);
  const DesignationPage& designation = rules_.designation;
  designate_group_->setEnabled(designation.group_available());
  group_hint_->setVisible(!designation.group_available());
  member_name_->setEnabled(designation.use_group);
  member_name_label_->setEnabled(designation.use_group);
}

void frmAdminWizard::OnNext() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QCoreApplication::processEvents();
  const bool moved = rules_.Next();
  QApplication::restoreOverrideCursor();
  if (moved) {
    ShowCurrentPage();
  } else {
    if (rules_.connection.database_list_retry_requested) database_list_retry_.start();
    RefreshButtons();
  }
}

void frmAdminWizard::OnBack() {
  CommitGrids();
  if (rules_.Back()) ShowCurrentPage();
}

void frmAdminWizard::OnFinish() {
  CommitGrids();
  const FinishResult result = rules_.Finish();
  if (result == FinishResult::kDone) {
    closing_ = true;
    accept();
  } else {
    RefreshButtons();
  }
}

void frmAdminWizard::OnCancel() {
  closing_ = true;
  rules_.Cancel();
  QDialog::reject();
}

// The close box and Escape leave the service stopped; only Cancel restarts it.
void frmAdminWizard::reject() {
  closing_ = true;
  rules_.Close();
  QDialog::reject();
}

QString frmAdminWizard::HelpFilePath() {
  const QString beside = QCoreApplication::applicationDirPath() + "/help/index.html";
  if (QFileInfo::exists(beside)) return beside;
  return QString(VOLTRANE_MANAGER_HELP_DIR) + "/index.html";
}

void frmAdminWizard::OnHelp() {
  QUrl url = QUrl::fromLocalFile(HelpFilePath());
  url.setFragment(QString::number(kHelpContext));
  QDesktopServices::openUrl(url);
}

void frmAdminWizard::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    OnHelp();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool frmAdminWizard::eventFilter(QObject* watched, QEvent* event) {
  if (watched == database_list_ && event->type() == QEvent::FocusIn) {
    const bool was_loaded = rules_.connection.database_list_loaded;
    rules_.DatabaseListFocused();
    if (!was_loaded && rules_.connection.database_list_loaded) {
      const QString typed = database_list_->currentText();
      database_list_->clear();
      for (const std::string& name : rules_.connection.database_list)
        database_list_->addItem(QString::fromStdString(name));
      database_list_->setEditText(typed);
    }
  }
  return QDialog::eventFilter(watched, event);
}

void frmAdminWizard::BrowseDatabaseFile() {
  const KindPage& page = KindPageOf(rules_.connection.database_kind);
  const QString current = QString::fromStdString(rules_.FilePath());
  const QString folder = current.contains('/') ? current.left(current.lastIndexOf('/') + 1) : "";
  const QString chosen = QFileDialog::getOpenFileName(this, Res(page.browse_title), folder,
                                                      DialogFilter(page.browse_filter));
  if (!chosen.isEmpty()) {
    file_path_->setText(chosen);
    RefreshButtons();
  }
}

int RunWizardApplication(int argc, char** argv, const CommandLineValues& values) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(kAppTitle);
  SingleInstance instance(DefaultInstanceName());
  if (instance.NotifyRunningCopy()) return 0;
  if (!IsUserAnAdmin()) {
    QMessageBox::information(nullptr, kAppTitle, "Administrator priveleges required");
    return 1;
  }
  CDatabaseConnectionObj connection;
  MessageBoxPrompts prompts;
  SystemctlServiceControl service;
  frmAdminWizard wizard(connection, prompts, service);
  prompts.set_parent(&wizard);
  instance.Listen(&wizard);
  wizard.LoadWizard(values);
  wizard.show();
  return app.exec();
}

}  // namespace voltrane::manager
