// The eight pages of the wizard window: their widgets, captions and the
// forwarding of every edit into the rules' state.
#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

#include "manager/kind_pages.h"
#include "manager/qt/admin_wizard.h"
#include "manager/string_resources.h"

namespace voltrane::manager {
namespace {

QString Res(int id) { return QString::fromStdString(LoadResText(id)); }
QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

void FillList(QComboBox* list, const std::vector<ListItem>& items) {
  const QSignalBlocker block(list);
  list->clear();
  for (const ListItem& item : items) list->addItem(Q(item.text), item.id);
}

// Chooses by id; -1 (or an unknown id) empties the choice.
void SetListId(QComboBox* list, int32_t id) {
  const QSignalBlocker block(list);
  const int index = list->findData(id);
  list->setCurrentIndex(index);
  if (index < 0) list->setEditText("");
}

QComboBox* NewList() {
  auto* list = new QComboBox;
  list->setEditable(true);
  list->setInsertPolicy(QComboBox::NoInsert);
  // Leaving a list whose text matches no item empties it.
  QObject::connect(list->lineEdit(), &QLineEdit::editingFinished, list, [list] {
    if (list->findText(list->currentText()) < 0) list->setEditText("");
  });
  return list;
}

}  // namespace

QLineEdit* frmAdminWizard::NewField(bool password) {
  auto* field = new QLineEdit;
  // An apostrophe would end the quoted text of a statement: it is refused as typed.
  field->setValidator(new QRegularExpressionValidator(QRegularExpression("[^']*"), field));
  connect(field, &QLineEdit::inputRejected, this, [] { QApplication::beep(); });
  if (password) field->setEchoMode(QLineEdit::Password);
  connect(field, &QLineEdit::textEdited, this, [this] { RefreshButtons(); });
  return field;
}

QWidget* frmAdminWizard::BuildKindPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  kinds_ = new QButtonGroup(page);
  for (int k = 0; k < kind::kCount; ++k) {
    auto* option = new QRadioButton(Res(KindPageOf(k).option_caption));
    kinds_->addButton(option, k);
    layout->addWidget(option);
  }
  connect(kinds_, &QButtonGroup::idClicked, this, [this](int id) {
    rules_.connection.selected_kind = id;
    RefreshButtons();
  });
  layout->addStretch();
  layout->addWidget(new QLabel(Q(CAdminWizardRules::ManagerVersionLine())));
  library_version_ = new QLabel(Q(CAdminWizardRules::LibraryVersionLine()));
  layout->addWidget(library_version_);
  return page;
}

QWidget* frmAdminWizard::BuildOraclePage() {
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);
  oracle_user_ = NewField();
  oracle_password_ = NewField(true);
  oracle_host_ = NewField();
  form->addRow(Res(res::kUserName), oracle_user_);
  form->addRow(Res(res::kPassword), oracle_password_);
  form->addRow(Res(res::kHostString), oracle_host_);
  connect(oracle_user_, &QLineEdit::textChanged, this,
          [this](const QString& t) { rules_.connection.oracle_user = S(t); });
  connect(oracle_password_, &QLineEdit::textChanged, this,
          [this](const QString& t) { rules_.connection.oracle_password = S(t); });
  connect(oracle_host_, &QLineEdit::textChanged, this,
          [this](const QString& t) { rules_.connection.oracle_host = S(t); });
  return page;
}

QWidget* frmAdminWizard::BuildFilePage() {
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);
  file_path_ = NewField();
  auto* browse = new QPushButton("...");
  browse->setObjectName("browse");
  auto* row = new QHBoxLayout;
  row->addWidget(file_path_);
  row->addWidget(browse);
  file_caption_ = new QLabel(Res(res::kDatabase));
  form->addRow(file_caption_, row);
  connect(file_path_, &QLineEdit::textChanged, this,
          [this](const QString& t) { rules_.FilePath() = S(t); });
  connect(browse, &QPushButton::clicked, this, &frmAdminWizard::BrowseDatabaseFile);
  return page;
}

QWidget* frmAdminWizard::BuildServerPage() {
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);
  server_user_ = NewField();
  server_password_ = NewField(true);
  server_ = NewField();
  // The database may be typed as well as chosen: no emptying on leaving.
  database_list_ = new QComboBox;
  database_list_->setEditable(true);
  database_list_->setInsertPolicy(QComboBox::NoInsert);
  database_list_->lineEdit()->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[^']*"), database_list_));
  database_list_->installEventFilter(this);
  form->addRow(Res(res::kUserName), server_user_);
  form->addRow(Res(res::kPassword), server_password_);
  form->addRow(Res(res::kServer), server_);
  form->addRow(Res(res::kDatabase), database_list_);
  const auto server_field = [this](QLineEdit* field, std::string ServerFields::*member) {
    connect(field, &QLineEdit::textChanged, this, [this, member](const QString& t) {
      rules_.Server().*member = S(t);
      rules_.ServerFieldsChanged();
      database_list_->setEnabled(!rules_.Server().server.empty());
    });
  };
  server_field(server_user_, &ServerFields::user);
  server_field(server_password_, &ServerFields::password);
  server_field(server_, &ServerFields::server);
  connect(database_list_, &QComboBox::editTextChanged, this, [this](const QString& t) {
    rules_.Server().database = S(t);
    RefreshButtons();
  });
  database_list_retry_.setSingleShot(true);
  database_list_retry_.setInterval(1000);
  connect(&database_list_retry_, &QTimer::timeout, this, [this] {
    rules_.TryLoadSQLDatabases();
    const QString typed = database_list_->currentText();
    database_list_->clear();
    for (const std::string& name : rules_.connection.database_list)
      database_list_->addItem(Q(name));
    database_list_->setEditText(typed);
  });
  return page;
}

QWidget* frmAdminWizard::BuildOptionsPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto* top = new QFormLayout;
  timeout_ = NewField();
  auto* timeout_row = new QHBoxLayout;
  timeout_row->addWidget(timeout_);
  timeout_row->addWidget(new QLabel(Res(res::kSeconds)));
  top->addRow(Res(res::kTimeout), timeout_row);
  log_days_ = NewField();
  top->addRow("Days of MDC log history to keep", log_days_);
  layout->addLayout(top);
  connect(timeout_, &QLineEdit::textChanged, this, [this](const QString& t) {
    rules_.options.timeout_text = S(t);
    RefreshButtons();
  });
  connect(timeout_, &QLineEdit::editingFinished, this, [this] {
    if (!rules_.AcceptTimeoutText()) timeout_->setText(Q(rules_.options.timeout_text));
  });
  connect(log_days_, &QLineEdit::textChanged, this,
          [this](const QString& t) { rules_.options.log_days_text = S(t); });
  connect(log_days_, &QLineEdit::editingFinished, this, [this] {
    if (!rules_.AcceptLogDaysText()) log_days_->setText(Q(rules_.options.log_days_text));
  });

  struct Box {
    const char* caption;
    const char* tip;
    bool ProcessingOptions::*member;
  };
  const Box boxes[] = {
      {"Require Password for New Logon Start",
       "Require user password to logon a machine with New Events Touch",
       &ProcessingOptions::require_password},
      {"Automatic Cycle Start/End with Good/Scrap Part",
       "A Good part command within a cycle will automatically end current cycle and start a new "
       "cycle",
       &ProcessingOptions::auto_cycle},
      {"Automatic Finish Job with Job End",
       "Automatically determine Good and Scrap parts counts and finish job upon Job End Command",
       &ProcessingOptions::auto_finish_job},
      {"Require Jobs to be Released",
       "Only Jobs with Released/In Process status will appear on New Events Job List",
       &ProcessingOptions::require_released},
      {"Automatic Release Job with Job Start", "", &ProcessingOptions::auto_release},
      {"Force Idle to Downtime Dialog",
       "Automatically prompt machine operators with the Machine Downtime Dialog when the Idle "
       "Timeout has been exceeded.",
       &ProcessingOptions::force_idle},
  };
  for (size_t i = 0; i < option_boxes_.size(); ++i) {
    option_boxes_[i] = new QCheckBox(boxes[i].caption);
    option_boxes_[i]->setToolTip(boxes[i].tip);
    layout->addWidget(option_boxes_[i]);
    connect(option_boxes_[i], &QCheckBox::toggled, this, [this, member = boxes[i].member](bool on) {
      rules_.options.*member = on;
      RefreshButtons();
    });
  }
  idle_group_ = new QWidget;
  auto* idle = new QFormLayout(idle_group_);
  idle_timeout_ = NewField();
  idle->addRow("Idle Timeout (minutes)", idle_timeout_);
  auto_idle_ = new QCheckBox("Automatic Idle to Downtime");
  auto_idle_->setToolTip(
      "When the Machine Downtime Dialog is not completed within the Response Timeout then "
      "automatically assign the specified downtime.");
  idle->addRow(auto_idle_);
  auto_idle_group_ = new QWidget;
  auto* automatic = new QFormLayout(auto_idle_group_);
  response_timeout_ = NewField();
  idle_downtime_ = NewList();
  automatic->addRow("Response Timeout (minutes)", response_timeout_);
  automatic->addRow("Downtime", idle_downtime_);
  idle->addRow(auto_idle_group_);
  layout->addWidget(idle_group_);
  connect(idle_timeout_, &QLineEdit::textChanged, this, [this](const QString& t) {
    rules_.SetIdleTimeoutText(S(t));
    RefreshButtons();
  });
  connect(response_timeout_, &QLineEdit::textChanged, this, [this](const QString& t) {
    rules_.SetResponseTimeoutText(S(t));
    RefreshButtons();
  });
  connect(auto_idle_, &QCheckBox::toggled, this, [this](bool on) {
    rules_.options.auto_idle = on;
    RefreshButtons();
  });
  connect(idle_downtime_, &QComboBox::editTextChanged, this, [this](const QString& t) {
    rules_.options.idle_downtime_id = CAdminWizardRules::IdOfText(rules_.options.downtimes, S(t));
    RefreshButtons();
  });
  return page;
}

QWidget* frmAdminWizard::BuildLocksPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  lock_grid_ = new QTableWidget(0, 4);
  lock_grid_->setHorizontalHeaderLabels({"Downtime Code ID", "Downtime", "Lock", "Max. Minutes"});
  lock_grid_->setColumnHidden(0, true);
  lock_grid_->horizontalHeader()->setStretchLastSection(true);
  lock_grid_->setColumnWidth(1, 260);
  lock_grid_->setColumnWidth(2, 140);
  layout->addWidget(lock_grid_);
  const auto lock_options = [&](const char* caption, QButtonGroup*& group,
                                int32_t LockPage::*member) {
    auto* box = new QGroupBox(caption);
    auto* row = new QHBoxLayout(box);
    group = new QButtonGroup(box);
    const char* names[] = {"None", "Cycle", "All"};
    for (int i = 0; i < 3; ++i) {
      auto* option = new QRadioButton(names[i]);
      group->addButton(option, i);
      row->addWidget(option);
    }
    connect(group, &QButtonGroup::idClicked, this, [this, member](int id) {
      rules_.locks.*member = id;
      CommitGrids();
      RenderLocks();
    });
    layout->addWidget(box);
  };
  lock_options("Setup Lock:", setup_lock_, &LockPage::setup_lock);
  lock_options("Teardown Lock:", teardown_lock_, &LockPage::teardown_lock);
  return page;
}

QWidget* frmAdminWizard::BuildAutoNewPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto_parts_ = new QCheckBox("Auto Create New Parts");
  auto_serials_ = new QCheckBox("Auto Create New Part Serial Numbers");
  auto_jobs_ = new QCheckBox("Auto Create New Jobs");
  auto_ops_ = new QCheckBox("Auto Create New Ops");
  part_defaults_ = new QGroupBox("Auto Part Defaults");
  job_defaults_ = new QGroupBox("Auto Job Default");
  op_defaults_ = new QGroupBox("Auto Op Defaults");
  part_type_ = NewList();
  job_status_ = NewList();
  part_revision_ = NewField();
  op_revision_ = NewField();
  part_type_label_ = new QLabel("Part Type");
  part_revision_label_ = new QLabel("Part Revision");
  job_status_label_ = new QLabel("Job Status");
  op_revision_label_ = new QLabel("Operation Revision");
  auto* parts = new QFormLayout(part_defaults_);
  parts->addRow(part_type_label_, part_type_);
  parts->addRow(part_revision_label_, part_revision_);
  (new QFormLayout(job_defaults_))->addRow(job_status_label_, job_status_);
  (new QFormLayout(op_defaults_))->addRow(op_revision_label_, op_revision_);
  for (QWidget* widget :
       std::initializer_list<QWidget*>{auto_parts_, part_defaults_, auto_serials_, auto_jobs_,
                                       job_defaults_, auto_ops_, op_defaults_})
    layout->addWidget(widget);
  const auto box = [this](QCheckBox* check, bool AutoNewPage::*member) {
    connect(check, &QCheckBox::toggled, this, [this, member](bool on) {
      rules_.auto_new.*member = on;
      RefreshButtons();
    });
  };
  box(auto_parts_, &AutoNewPage::auto_parts);
  box(auto_serials_, &AutoNewPage::auto_serial_numbers);
  box(auto_jobs_, &AutoNewPage::auto_jobs);
  box(auto_ops_, &AutoNewPage::auto_ops);
  connect(part_type_, &QComboBox::editTextChanged, this, [this](const QString& t) {
    rules_.auto_new.part_type_id = CAdminWizardRules::IdOfText(rules_.auto_new.part_types, S(t));
    RefreshButtons();
  });
  connect(job_status_, &QComboBox::editTextChanged, this, [this](const QString& t) {
    rules_.auto_new.job_status = CAdminWizardRules::IdOfText(rules_.auto_new.job_statuses, S(t));
    RefreshButtons();
  });
  connect(part_revision_, &QLineEdit::textChanged, this,
          [this](const QString& t) { rules_.auto_new.part_revision = S(t); });
  connect(op_revision_, &QLineEdit::textChanged, this,
          [this](const QString& t) { rules_.auto_new.op_revision = S(t); });
  return page;
}

QWidget* frmAdminWizard::BuildHeartbeatPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel("Advanced Machine Connection"));
  heartbeat_grid_ = new QTableWidget(0, 4);
  heartbeat_grid_->setHorizontalHeaderLabels(
      {"Machine ID", "Machine", "Enabled", "Timeout Seconds"});
  heartbeat_grid_->setColumnHidden(0, true);
  heartbeat_grid_->setColumnWidth(1, 260);
  heartbeat_grid_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(heartbeat_grid_);
  connect(heartbeat_grid_, &QTableWidget::itemChanged, this, [this] {
    CommitGrids();
    RefreshButtons();
  });
  auto* form = new QFormLayout;
  machine_downtime_ = NewList();
  return_timeout_ = NewField();
  machine_downtime_label_ = new QLabel("Machine Downtime");
  return_timeout_label_ = new QLabel("Return to previous state time out");
  form->addRow(machine_downtime_label_, machine_downtime_);
  form->addRow(return_timeout_label_, return_timeout_);
  layout->addLayout(form);
  layout->addWidget(BuildDesignation());
  start_service_ = new QCheckBox("Start MDC Service");
  layout->addWidget(start_service_);
  connect(machine_downtime_, &QComboBox::editTextChanged, this, [this](const QString& t) {
    rules_.heartbeats.machine_downtime_id =
        CAdminWizardRules::IdOfText(rules_.heartbeats.downtimes, S(t));
    RefreshButtons();
  });
  connect(return_timeout_, &QLineEdit::textChanged, this, [this](const QString& t) {
    rules_.heartbeats.return_timeout_text = S(t);
    RefreshButtons();
  });
  connect(return_timeout_, &QLineEdit::editingFinished, this, [this] {
    if (!rules_.AcceptReturnTimeoutText())
      return_timeout_->setText(Q(rules_.heartbeats.return_timeout_text));
  });
  connect(start_service_, &QCheckBox::toggled, this,
          [this](bool on) { rules_.heartbeats.start_service = on; });
  return page;
}

QGroupBox* frmAdminWizard::BuildDesignation() {
  auto* box = new QGroupBox("Processing of the MDC log");
  auto* layout = new QVBoxLayout(box);
  designate_computer_ = new QRadioButton("This computer");
  designate_group_ = new QRadioButton("The collector group");
  auto* choice = new QButtonGroup(box);
  choice->addButton(designate_computer_);
  choice->addButton(designate_group_);
  layout->addWidget(designate_computer_);
  layout->addWidget(designate_group_);
  auto* member = new QHBoxLayout;
  member_name_label_ = new QLabel("Member name of this computer's collector");
  member_name_ = NewField();
  member->addSpacing(20);
  member->addWidget(member_name_label_);
  member->addWidget(member_name_);
  layout->addLayout(member);
  group_hint_ = new QLabel(CAdminWizardRules::kNoGroupHint);
  group_hint_->setWordWrap(true);
  layout->addWidget(group_hint_);
  connect(designate_group_, &QRadioButton::toggled, this, [this](bool on) {
    rules_.designation.use_group = on;
    RefreshButtons();
  });
  connect(member_name_, &QLineEdit::textChanged, this, [this](const QString& t) {
    rules_.designation.member_name = S(t);
    RefreshButtons();
  });
  return box;
}

void frmAdminWizard::RenderDesignation() {
  const DesignationPage& page = rules_.designation;
  const QSignalBlocker block_computer(designate_computer_), block_group(designate_group_),
      block_member(member_name_);
  designate_computer_->setText(Q("This computer (" + rules_.computer_name() + ")"));
  designate_group_->setText(page.group_available()
                                ? Q("The collector group '" + page.group_name + "'")
                                : QString("The collector group"));
  (page.use_group ? designate_group_ : designate_computer_)->setChecked(true);
  member_name_->setText(Q(page.member_name));
}

void frmAdminWizard::RenderPage(int page) {
  switch (page) {
    case 0:
      if (QAbstractButton* option = kinds_->button(rules_.connection.selected_kind)) {
        option->setChecked(true);
        option->setFocus();
      }
      break;
    case 1:
      oracle_user_->setText(Q(rules_.connection.oracle_user));
      oracle_password_->setText(Q(rules_.connection.oracle_password));
      oracle_host_->setText(Q(rules_.connection.oracle_host));
      oracle_user_->setFocus();
      break;
    case 2:
      file_caption_->setText(Res(KindPageOf(rules_.connection.database_kind).file_caption));
      file_path_->setText(Q(rules_.FilePath()));
      file_path_->setFocus();
      break;
    case 3: {
      const ServerFields fields = rules_.Server();
      server_user_->setText(Q(fields.user));
      server_password_->setText(Q(fields.password));
      server_->setText(Q(fields.server));
      database_list_->setEditText(Q(fields.database));
      database_list_->setEnabled(!fields.server.empty());
      server_user_->setFocus();
      break;
    }
    case 4:
      RenderOptions();
      break;
    case 5:
      RenderLocks();
      break;
    case 6:
      RenderAutoNew();
      break;
    default:
      RenderHeartbeats();
      break;
  }
}

void frmAdminWizard::RenderOptions() {
  const ProcessingOptions& options = rules_.options;
  const bool* flags[] = {&options.require_password, &options.auto_cycle,   &options.auto_finish_job,
                         &options.require_released, &options.auto_release, &options.force_idle};
  for (size_t i = 0; i < option_boxes_.size(); ++i) option_boxes_[i]->setChecked(*flags[i]);
  timeout_->setText(Q(options.timeout_text));
  log_days_->setText(Q(options.log_days_text));
  idle_timeout_->setText(Q(options.idle_timeout_text));
  response_timeout_->setText(Q(options.response_timeout_text));
  auto_idle_->setChecked(options.auto_idle);
  FillList(idle_downtime_, options.downtimes);
  SetListId(idle_downtime_, options.idle_downtime_id);
  timeout_->setFocus();
}

void frmAdminWizard::RenderLocks() {
  const QSignalBlocker block(lock_grid_);
  const auto& rows = rules_.locks.rows;
  lock_grid_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    lock_grid_->setItem(r, 0, new QTableWidgetItem(QString::number(rows[r].downtime_code_id)));
    auto* name = new QTableWidgetItem(Q(rows[r].downtime));
    name->setFlags(name->flags() & ~Qt::ItemIsEditable);
    lock_grid_->setItem(r, 1, name);
    auto* lock = new QComboBox;
    for (int k = 0; k < 4; ++k) {
      lock->addItem(Q(rules_.LockItemText(k)), k);
      lock->setItemData(k, Q(rules_.LockItemTip(k)), Qt::ToolTipRole);
    }
    lock->setCurrentIndex(rows[r].lock);
    lock_grid_->setCellWidget(r, 2, lock);
    auto* minutes = new QSpinBox;
    minutes->setRange(0, 999);
    minutes->setValue(rows[r].max_minutes);
    lock_grid_->setCellWidget(r, 3, minutes);
  }
  if (QAbstractButton* b = setup_lock_->button(rules_.locks.setup_lock)) b->setChecked(true);
  if (QAbstractButton* b = teardown_lock_->button(rules_.locks.teardown_lock)) b->setChecked(true);
}

void frmAdminWizard::RenderAutoNew() {
  const AutoNewPage& page = rules_.auto_new;
  FillList(part_type_, page.part_types);
  FillList(job_status_, page.job_statuses);
  const int32_t part_type = page.part_type_id, status = page.job_status;
  auto_parts_->setChecked(page.auto_parts);
  auto_serials_->setChecked(page.auto_serial_numbers);
  auto_jobs_->setChecked(page.auto_jobs);
  auto_ops_->setChecked(page.auto_ops);
  part_revision_->setText(Q(page.part_revision));
  op_revision_->setText(Q(page.op_revision));
  SetListId(part_type_, part_type);
  SetListId(job_status_, status);
  rules_.auto_new.part_type_id = part_type;
  rules_.auto_new.job_status = status;
}

void frmAdminWizard::RenderHeartbeats() {
  const HeartbeatPage& page = rules_.heartbeats;
  {
    const QSignalBlocker block(heartbeat_grid_);
    heartbeat_grid_->setRowCount(static_cast<int>(page.rows.size()));
    for (int r = 0; r < static_cast<int>(page.rows.size()); ++r) {
      const HeartbeatRow& row = page.rows[r];
      heartbeat_grid_->setItem(r, 0, new QTableWidgetItem(QString::number(row.machine_id)));
      auto* name = new QTableWidgetItem(Q(row.machine));
      name->setFlags(name->flags() & ~Qt::ItemIsEditable);
      heartbeat_grid_->setItem(r, 1, name);
      auto* enabled = new QTableWidgetItem;
      enabled->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
      enabled->setCheckState(row.enabled ? Qt::Checked : Qt::Unchecked);
      heartbeat_grid_->setItem(r, 2, enabled);
      heartbeat_grid_->setItem(r, 3, new QTableWidgetItem(QString::number(row.timeout_seconds)));
    }
  }
  const int32_t downtime = page.machine_downtime_id;
  FillList(machine_downtime_, page.downtimes);
  SetListId(machine_downtime_, downtime);
  rules_.heartbeats.machine_downtime_id = downtime;
  return_timeout_->setText(Q(page.return_timeout_text));
  start_service_->setChecked(page.start_service);
  RenderDesignation();
}

// Takes the grids' pending values into the rules (the grid's pending edit is
// committed before the rules read it).
void frmAdminWizard::CommitGrids() {
  auto& locks = rules_.locks.rows;
  for (int r = 0; r < lock_grid_->rowCount() && r < static_cast<int>(locks.size()); ++r) {
    if (auto* lock = qobject_cast<QComboBox*>(lock_grid_->cellWidget(r, 2)))
      locks[r].lock = lock->currentIndex() < 0 ? 0 : lock->currentIndex();
    if (auto* minutes = qobject_cast<QSpinBox*>(lock_grid_->cellWidget(r, 3)))
      locks[r].max_minutes = minutes->value();
  }
  auto& beats = rules_.heartbeats.rows;
  for (int r = 0; r < heartbeat_grid_->rowCount() && r < static_cast<int>(beats.size()); ++r) {
    if (QTableWidgetItem* enabled = heartbeat_grid_->item(r, 2))
      beats[r].enabled = enabled->checkState() == Qt::Checked;
    if (QTableWidgetItem* seconds = heartbeat_grid_->item(r, 3)) {
      bool ok = false;
      const int value = seconds->text().toInt(&ok);
      if (ok) beats[r].timeout_seconds = value;
    }
  }
}

}  // namespace voltrane::manager
