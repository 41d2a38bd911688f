// The wizard's window under the offscreen platform: walking page 0 to Finish
// on a demo plant of each available kind through the buttons and widgets,
// checking what was written, with a screenshot of every page left in the
// build folder; and the single-instance handshake.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <memory>

#include "dbaccess/connection.h"
#include "dbaccess/database_configuration.h"
#include "dbaccess/recordset.h"
#include "manager/qt/admin_wizard.h"
#include "manager/qt/single_instance.h"
#include "manager/string_resources.h"
#include "tests/manager_fakes.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

// fontconfig, loaded by Qt's font database, keeps its configuration for the
// life of the process; not this program's leak.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using namespace voltrane::manager;

QApplication& App() {
  static int argc = 1;
  static char name[] = "manager_view_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

template <typename T>
T* Child(QWidget* parent, const QString& text) {
  for (T* widget : parent->findChildren<T*>()) {
    if (widget->text() == text) return widget;
  }
  return nullptr;
}

class ManagerViewTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    App();
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), true);
    const std::string name = database_.kind == 3 ? "SQLite" : "PostgreSQL";
    sandbox_.WriteHives("DatabaseType = \"" + name + "\"\n" + name + "ConnectionString = \"" +
                            database_.connection_string + "\"\nTimeout = 3000\n",
                        "");
    host_.computer_name = [] { return std::string("plant-pc-1"); };
    wizard_ = std::make_unique<frmAdminWizard>(connection_, prompts_, service_, host_);
  }
  void TearDown() override {
    wizard_.reset();
    testsupport::DropTestDatabase(database_);
  }

  int Page() const { return wizard_->findChild<QStackedWidget*>()->currentIndex(); }
  void Screenshot(const QString& suffix = "") {
    const QString dir = SCREENSHOT_DIR;
    QDir().mkpath(dir);
    const QString file = QString("%1/%2-page%3%4.png")
                             .arg(dir, QString::fromStdString(GetParam()))
                             .arg(Page())
                             .arg(suffix);
    QApplication::processEvents();
    EXPECT_TRUE(wizard_->grab().save(file)) << file.toStdString();
  }
  void Next() {
    ASSERT_TRUE(wizard_->next_button()->isEnabled()) << Page();
    wizard_->next_button()->click();
    Screenshot();
  }
  void Execute(const std::string& sql) {
    auto connection = std::make_shared<dbaccess::Connection>();
    connection->Open(database_.connection_string);
    connection->Execute(sql);
  }
  dbaccess::Variant Value(const std::string& sql) {
    auto connection = std::make_shared<dbaccess::Connection>();
    connection->Open(database_.connection_string);
    dbaccess::Recordset rs;
    rs.Open(sql, connection);
    return rs.Eof() ? dbaccess::Variant() : rs.Fields(size_t{0}).Value();
  }

  testsupport::TestDatabase database_;
  testsupport::SettingsSandbox sandbox_;
  testsupport::ScriptedPrompts prompts_;
  testsupport::FakeServiceControl service_;
  voltrane::CDatabaseConnectionObj connection_;
  HostChecks host_;
  std::unique_ptr<frmAdminWizard> wizard_;
};

TEST_P(ManagerViewTest, WalksFromPageZeroToFinishAndWritesWhatWasChosen) {
  service_.running = true;
  wizard_->LoadWizard({});
  wizard_->show();
  EXPECT_EQ(service_.stops, 1);
  EXPECT_EQ(wizard_->windowTitle(), "Voltrane Collector Service Manager - Select a Database Type");
  EXPECT_FALSE(wizard_->back_button()->isEnabled());
  EXPECT_FALSE(wizard_->finish_button()->isEnabled());
  EXPECT_EQ(wizard_->help_button()->text(), "&Help");
  Screenshot();

  Next();  // to the connection page of the kind
  const int connection_page = database_.kind == 3 ? 2 : 3;
  ASSERT_EQ(Page(), connection_page);
  Next();  // connection test
  ASSERT_EQ(Page(), 4) << testing::PrintToString(prompts_.messages);
  EXPECT_TRUE(prompts_.Shown("Database connection was successful."));
  wizard_->back_button()->click();
  EXPECT_EQ(Page(), connection_page);
  wizard_->next_button()->click();
  ASSERT_EQ(Page(), 4);

  // Options: one check box on; Force Idle governs the idle fields.
  QCheckBox* auto_cycle =
      Child<QCheckBox>(wizard_->page(4), "Automatic Cycle Start/End with Good/Scrap Part");
  ASSERT_NE(auto_cycle, nullptr);
  auto_cycle->setChecked(true);
  QCheckBox* auto_idle = Child<QCheckBox>(wizard_->page(4), "Automatic Idle to Downtime");
  ASSERT_NE(auto_idle, nullptr);
  EXPECT_FALSE(auto_idle->isEnabled());
  Child<QCheckBox>(wizard_->page(4), "Force Idle to Downtime Dialog")->setChecked(true);
  EXPECT_TRUE(auto_idle->isEnabled());
  auto_idle->setChecked(true);
  EXPECT_FALSE(wizard_->next_button()->isEnabled());  // no downtime chosen yet
  auto_idle->setChecked(false);
  Next();

  // Locks: the first downtime code to All with 15 minutes.
  ASSERT_EQ(Page(), 5);
  auto* grid = wizard_->page(5)->findChild<QTableWidget*>();
  ASSERT_NE(grid, nullptr);
  qobject_cast<QComboBox*>(grid->cellWidget(0, 2))->setCurrentIndex(3);
  qobject_cast<QSpinBox*>(grid->cellWidget(0, 3))->setValue(15);
  Next();

  ASSERT_EQ(Page(), 6);
  Next();

  // Heartbeats: enable the first machine; Finish needs the heartbeat downtime.
  ASSERT_EQ(Page(), 7);
  EXPECT_EQ(wizard_->windowTitle(), "Configure Advanced Machine Connection");
  auto* beats = wizard_->page(7)->findChild<QTableWidget*>();
  ASSERT_NE(beats, nullptr);
  EXPECT_EQ(beats->item(0, 3)->text(), "200");
  EXPECT_TRUE(wizard_->finish_button()->isEnabled());
  beats->item(0, 2)->setCheckState(Qt::Checked);
  EXPECT_FALSE(wizard_->finish_button()->isEnabled());
  QComboBox* downtime = nullptr;
  for (QComboBox* list : wizard_->page(7)->findChildren<QComboBox*>()) downtime = list;
  ASSERT_NE(downtime, nullptr);
  downtime->setEditText("190 - Heartbeat missing");
  EXPECT_TRUE(wizard_->finish_button()->isEnabled());
  Screenshot();

  wizard_->finish_button()->click();
  EXPECT_EQ(wizard_->result(), QDialog::Accepted) << testing::PrintToString(prompts_.messages);
  EXPECT_EQ(service_.starts, 1);
  EXPECT_EQ(Value("select CYCLE_STATUS_LOCK from T_SFC_DOWNTIME_CODE where DOWNTIME_CODE_ID = 1")
                .ToInt64(),
            63);
  EXPECT_EQ(Value("select ENABLED from T_SFC_MACHINE_HEARTBEAT where MACHINE_ID = 1").ToInt64(), 1);
  EXPECT_EQ(Value("select TIMEOUT from T_SFC_MACHINE_HEARTBEAT where MACHINE_ID = 1").ToInt64(),
            200);
  EXPECT_EQ(Value("select count(*) from T_SFC_MACHINE_HEARTBEAT").ToInt64(), 1);
  EXPECT_EQ(
      Value("select BOOL_VAL from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 23").ToInt64(),
      -1);
  EXPECT_EQ(
      Value("select BOOL_VAL from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 27").ToInt64(),
      -1);
  EXPECT_EQ(
      Value("select NUM_VAL from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 13").ToInt64(),
      4);
  voltrane::DatabaseConfiguration config;
  ASSERT_EQ(voltrane::ReadConfiguration(config), 0);
  EXPECT_EQ(config.database_type, database_.kind);
}

TEST_P(ManagerViewTest, TheLastPageDesignatesThisComputerOrTheCollectorGroup) {
  wizard_->LoadWizard({});
  wizard_->show();
  const auto walk_to_last_page = [&] {
    while (Page() < 7) wizard_->next_button()->click();
  };
  walk_to_last_page();
  QWidget* last = wizard_->page(7);
  QRadioButton* computer = Child<QRadioButton>(last, "This computer (plant-pc-1)");
  QRadioButton* group = Child<QRadioButton>(last, "The collector group");
  ASSERT_NE(computer, nullptr);
  ASSERT_NE(group, nullptr);
  EXPECT_TRUE(computer->isChecked());
  EXPECT_FALSE(group->isEnabled());
  QLabel* hint = Child<QLabel>(last, CAdminWizardRules::kNoGroupHint);
  ASSERT_NE(hint, nullptr);
  EXPECT_TRUE(hint->isVisible());
  Screenshot("-no-group");
  wizard_->cancel_button()->click();

  // The group made by "korvex7 group create", the database designating it.
  for (const std::string& sql : testsupport::GroupStandInStatements("press-line", true)) {
    Execute(sql);
  }
  wizard_ = std::make_unique<frmAdminWizard>(connection_, prompts_, service_, host_);
  wizard_->LoadWizard({});
  wizard_->show();
  walk_to_last_page();
  last = wizard_->page(7);
  group = Child<QRadioButton>(last, "The collector group 'press-line'");
  ASSERT_NE(group, nullptr);
  EXPECT_TRUE(group->isEnabled());
  EXPECT_TRUE(group->isChecked());
  EXPECT_FALSE(Child<QLabel>(last, CAdminWizardRules::kNoGroupHint)->isVisible());
  QLineEdit* member = nullptr;
  for (QLineEdit* field : last->findChildren<QLineEdit*>()) {
    if (field->text() == "plant-pc-1") member = field;
  }
  ASSERT_NE(member, nullptr);
  EXPECT_TRUE(member->isEnabled());
  member->clear();
  EXPECT_FALSE(wizard_->finish_button()->isEnabled());  // a member needs a name
  member->setText("press-2");
  EXPECT_TRUE(wizard_->finish_button()->isEnabled());
  Screenshot("-group");

  wizard_->finish_button()->click();
  EXPECT_EQ(wizard_->result(), QDialog::Accepted) << testing::PrintToString(prompts_.messages);
  EXPECT_EQ(
      Value("select STRING_VAL from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 14").ToText(),
      "group:press-line");
  voltrane::DatabaseConfiguration config;
  ASSERT_EQ(voltrane::ReadConfiguration(config), 0);
  EXPECT_EQ(config.group_name, "press-line");
  EXPECT_EQ(config.group_member, "press-2");

  // This computer instead: Finish asks before it ends group mode; No stays.
  wizard_ = std::make_unique<frmAdminWizard>(connection_, prompts_, service_, host_);
  wizard_->LoadWizard({});
  wizard_->show();
  walk_to_last_page();
  last = wizard_->page(7);
  Child<QRadioButton>(last, "This computer (plant-pc-1)")->click();
  prompts_.questions.clear();
  wizard_->finish_button()->click();
  ASSERT_EQ(prompts_.questions.size(), 1u);
  EXPECT_NE(prompts_.questions[0].find("ends group mode"), std::string::npos);
  EXPECT_NE(wizard_->result(), QDialog::Accepted);
  EXPECT_EQ(Page(), 7);
  Screenshot("-end-group-declined");
  // The question as its message box shows it.
  QMessageBox question(QMessageBox::Question, kAppTitle,
                       QString::fromStdString(prompts_.questions[0]),
                       QMessageBox::Yes | QMessageBox::No, wizard_.get());
  question.show();
  QApplication::processEvents();
  EXPECT_TRUE(question.grab().save(QString(SCREENSHOT_DIR) + "/" +
                                   QString::fromStdString(GetParam()) + "-end-group-question.png"));
  question.hide();
  EXPECT_EQ(
      Value("select STRING_VAL from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 14").ToText(),
      "group:press-line");
  prompts_.yes_no = {true};
  prompts_.ok_cancel = {true};
  wizard_->finish_button()->click();
  EXPECT_EQ(wizard_->result(), QDialog::Accepted) << testing::PrintToString(prompts_.messages);
  EXPECT_EQ(
      Value("select STRING_VAL from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 14").ToText(),
      "plant-pc-1");
}

TEST_P(ManagerViewTest, CancelRestartsTheServiceAndWritesNothing) {
  service_.running = true;
  wizard_->LoadWizard({});
  wizard_->show();
  wizard_->next_button()->click();
  wizard_->next_button()->click();
  ASSERT_EQ(Page(), 4);
  wizard_->cancel_button()->click();
  EXPECT_EQ(wizard_->result(), QDialog::Rejected);
  EXPECT_EQ(service_.starts, 1);
  EXPECT_EQ(
      Value("select count(*) from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 14").ToInt64(),
      0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ManagerViewTest, testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

TEST(ManagerSingleInstanceTest, ASecondCopyFindsTheFirstAndBringsItsWindowToTheFront) {
  App();
  const QString name =
      "voltrane-manager-test-" + QString::number(QCoreApplication::applicationPid());
  SingleInstance alone(name);
  EXPECT_FALSE(alone.NotifyRunningCopy());

  QWidget window;
  window.showMinimized();
  SingleInstance first(name);
  ASSERT_TRUE(first.Listen(&window));
  SingleInstance second(name);
  EXPECT_TRUE(second.NotifyRunningCopy());
  for (int i = 0; i < 50 && window.isMinimized(); ++i) QApplication::processEvents();
  EXPECT_FALSE(window.isMinimized());
}

TEST(ManagerHelpTest, TheHelpPageIsShippedBesideTheProgram) {
  App();
  // The test program is not the manager; the page is copied beside the manager.
  EXPECT_TRUE(QFileInfo::exists(MANAGER_HELP_PAGE));
}

}  // namespace
