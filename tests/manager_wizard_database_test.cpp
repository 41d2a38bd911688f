// The wizard's rules against a demo plant of each available kind: the
// connection test with its version and designation checks, the option, lock
// and heartbeat pages, and the Finish order.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>

#include "dbaccess/connection.h"
#include "dbaccess/database_configuration.h"
#include "dbaccess/recordset.h"
#include "settings/reg_settings.h"
#include "manager/admin_wizard_rules.h"
#include "tests/manager_fakes.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

namespace {

using namespace voltrane::manager;

constexpr const char* kThisPc = "plant-pc-1";

class ManagerDatabaseTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), true);
    WriteMachineHive("");
    check_ = std::make_shared<dbaccess::Connection>();
    check_->Open(database_.connection_string);
    HostChecks host;
    host.computer_name = [] { return std::string(kThisPc); };
    rules_ = std::make_unique<CAdminWizardRules>(connection_, prompts_, service_, host);
  }
  void TearDown() override {
    rules_.reset();
    check_->Close();
    testsupport::DropTestDatabase(database_);
  }

  // The collector's key for the test database, with `extra` lines.
  void WriteMachineHive(const std::string& extra) {
    const std::string name = database_.kind == 3 ? "SQLite" : "PostgreSQL";
    sandbox_.WriteHives("DatabaseType = \"" + name + "\"\n" + name + "ConnectionString = \"" +
                            database_.connection_string + "\"\n" + extra,
                        "");
  }
  void Exec(const std::string& sql) { check_->Execute(sql); }
  void CreateGroup(const std::string& name, bool designated) {
    for (const std::string& sql : testsupport::GroupStandInStatements(name, designated)) Exec(sql);
  }

  dbaccess::Variant Value(const std::string& sql) {
    dbaccess::Recordset rs;
    rs.Open(sql, check_);
    return rs.Eof() ? dbaccess::Variant() : rs.Fields(size_t{0}).Value();
  }
  std::string Option(int code, const char* column) {
    const dbaccess::Variant value =
        Value(std::string("select ") + column +
              " from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = " + std::to_string(code));
    return value.IsNull() || value.IsEmpty() ? "<none>" : value.ToText();
  }
  int ConnectionPage() const { return database_.kind == 3 ? 2 : 3; }

  // Load, Next to the connection page, Next through the test to page 4.
  bool Connect() {
    rules_->Load({});
    rules_->Next();
    return rules_->Next();
  }
  void WalkTo(int page) {
    ASSERT_TRUE(Connect());
    while (rules_->CurrentPage() < page) ASSERT_TRUE(rules_->Next()) << rules_->CurrentPage();
  }

  testsupport::TestDatabase database_;
  testsupport::SettingsSandbox sandbox_;
  dbaccess::ConnectionPtr check_;
  testsupport::ScriptedPrompts prompts_;
  testsupport::FakeServiceControl service_;
  voltrane::CDatabaseConnectionObj connection_;
  std::unique_ptr<CAdminWizardRules> rules_;
};

TEST_P(ManagerDatabaseTest, ConnectionTestLeadsToOptionsAndBackReturnsToTheKindsPage) {
  rules_->Load({});
  ASSERT_TRUE(rules_->Next());
  EXPECT_EQ(rules_->CurrentPage(), ConnectionPage());
  ASSERT_TRUE(rules_->Next()) << testing::PrintToString(prompts_.messages);
  EXPECT_EQ(rules_->CurrentPage(), 4);
  EXPECT_TRUE(prompts_.Shown("Database connection was successful."));
  EXPECT_TRUE(prompts_.questions.empty());  // no designation yet: no question
  EXPECT_EQ(rules_->WindowTitle(), "Voltrane Collector Service Manager - Select Options");
  ASSERT_TRUE(rules_->Back());
  EXPECT_EQ(rules_->CurrentPage(), ConnectionPage());
}

TEST_P(ManagerDatabaseTest, OldOrMissingSchemaVersionIsRefused) {
  Exec("update T_SFC_DB_ITEM set DB_ITEM_VALUE = '3100' where DB_ITEM_CODE = 1");
  EXPECT_FALSE(Connect());
  EXPECT_EQ(rules_->CurrentPage(), ConnectionPage());
  EXPECT_TRUE(prompts_.Shown(
      "The selected Database must be updated before continuing. Please run the Voltrane MDC "
      "Application to update the database and then try again."));
  EXPECT_TRUE(prompts_.Shown("The supplied connection information is not valid."));

  Exec("delete from T_SFC_DB_ITEM");
  EXPECT_FALSE(rules_->Next());
  EXPECT_TRUE(prompts_.Shown("The selected Database is not a valid Voltrane Database"));
}

TEST_P(ManagerDatabaseTest, DesignationInAnotherLetterCaseAsksAndNoKeepsThePage) {
  Exec(
      "insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, STRING_VAL) "
      "values (2, 14, 2, 'PLANT-PC-1')");
  prompts_.yes_no = {false};
  EXPECT_FALSE(Connect());
  ASSERT_EQ(prompts_.questions.size(), 1u);
  EXPECT_EQ(prompts_.questions[0],
            "This is not the PC designated to run the service, only 'PLANT-PC-1' can run the "
            "service. Would you like to change this and deginate this pc to run the service?");
  EXPECT_EQ(rules_->CurrentPage(), ConnectionPage());
  EXPECT_EQ(Option(14, "STRING_VAL"), "PLANT-PC-1");
}

TEST_P(ManagerDatabaseTest, YesThenCancelLeavesTheDesignationAndYesThenOkClearsIt) {
  Exec(
      "insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, STRING_VAL) "
      "values (2, 14, 2, 'press-shop')");
  prompts_.yes_no = {true, true};
  prompts_.ok_cancel = {false, true};
  EXPECT_FALSE(Connect());
  EXPECT_EQ(prompts_.questions.back(),
            "Please affirm that the MDC service on PC 'press-shop' is shutdown and disabled");
  EXPECT_EQ(rules_->CurrentPage(), ConnectionPage());
  EXPECT_EQ(Option(14, "STRING_VAL"), "press-shop");
  EXPECT_TRUE(prompts_.Shown("The supplied connection information is not valid."));

  ASSERT_TRUE(rules_->Next());
  EXPECT_TRUE(prompts_.Shown("OK, the MDC service designation has been reset"));
  EXPECT_EQ(Option(14, "STRING_VAL"), "");
}

TEST_P(ManagerDatabaseTest, TheDesignatedComputerPassesWithoutAQuestion) {
  Exec(
      "insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, STRING_VAL) "
      "values (2, 14, 2, 'plant-pc-1')");
  EXPECT_TRUE(Connect());
  EXPECT_TRUE(prompts_.questions.empty());
}

TEST_P(ManagerDatabaseTest, AGroupDatabaseIsJoinedAsAMemberAndFinishNamesItInTheSettings) {
  CreateGroup("press-line", true);
  ASSERT_TRUE(Connect()) << testing::PrintToString(prompts_.messages);
  EXPECT_TRUE(prompts_.questions.empty());  // nothing to take over
  EXPECT_TRUE(prompts_.Shown(
      "This database is processed by the collector group 'press-line'. This computer's "
      "collector will take part in it as member 'plant-pc-1' (the member name can be changed on "
      "the last page)."));
  EXPECT_EQ(Option(14, "STRING_VAL"), "group:press-line");  // the check writes nothing
  while (rules_->CurrentPage() < 7) ASSERT_TRUE(rules_->Next());
  EXPECT_TRUE(rules_->designation.use_group);
  EXPECT_EQ(rules_->designation.group_name, "press-line");

  // A member needs a name.
  rules_->designation.member_name = "";
  EXPECT_FALSE(rules_->UpdateButtons().finish);
  rules_->designation.member_name = "press-2";
  ASSERT_EQ(rules_->Finish(), FinishResult::kDone) << testing::PrintToString(prompts_.messages);

  EXPECT_EQ(Option(14, "STRING_VAL"), "group:press-line");
  voltrane::DatabaseConfiguration config;
  ASSERT_EQ(voltrane::ReadConfiguration(config), 0);
  EXPECT_EQ(config.group_name, "press-line");
  EXPECT_EQ(config.group_member, "press-2");
}

TEST_P(ManagerDatabaseTest, ThisComputerOnAGroupDatabaseDesignatesItAndEndsTheMembership) {
  WriteMachineHive("GroupName = \"press-line\"\nGroupMember = \"press-9\"\n");
  CreateGroup("press-line", true);
  ASSERT_TRUE(Connect());
  // The stored member name is the one offered.
  EXPECT_TRUE(prompts_.Shown(
      "This database is processed by the collector group 'press-line'. This computer's "
      "collector will take part in it as member 'press-9' (the member name can be changed on "
      "the last page)."));
  while (rules_->CurrentPage() < 7) ASSERT_TRUE(rules_->Next());
  rules_->designation.use_group = false;
  // Ending group mode is asked first: No, or Yes and then Cancel, changes nothing.
  prompts_.yes_no = {false, true};
  prompts_.ok_cancel = {false};
  EXPECT_EQ(rules_->Finish(), FinishResult::kStayed);
  EXPECT_EQ(prompts_.questions.at(0),
            "This database is processed by the collector group 'press-line'. Designating this pc "
            "to run the service ends group mode: the group's members are refused from then on. "
            "Would you like to end group mode and designate this pc to run the service?");
  EXPECT_EQ(rules_->Finish(), FinishResult::kStayed);
  EXPECT_EQ(prompts_.questions.back(),
            "Please affirm that every member of the collector group 'press-line' is shutdown and "
            "disabled");
  EXPECT_EQ(Option(14, "STRING_VAL"), "group:press-line");
  {
    voltrane::CRegKey stored;  // nor the settings
    ASSERT_EQ(stored.Open(voltrane::RegHive::kLocalMachine, voltrane::kServiceKey), 0);
    EXPECT_TRUE(stored.HasValue("GroupMember"));
  }
  prompts_.yes_no = {true};
  prompts_.ok_cancel = {true};
  ASSERT_EQ(rules_->Finish(), FinishResult::kDone) << testing::PrintToString(prompts_.messages);

  EXPECT_EQ(Option(14, "STRING_VAL"), kThisPc);
  voltrane::CRegKey key;
  ASSERT_EQ(key.Open(voltrane::RegHive::kLocalMachine, voltrane::kServiceKey), 0);
  EXPECT_FALSE(key.HasValue("GroupName"));
  EXPECT_FALSE(key.HasValue("GroupMember"));
  EXPECT_TRUE(key.HasValue("DatabaseType"));
}

TEST_P(ManagerDatabaseTest, TheGroupIsOfferedOnlyWhenTheDatabaseHasOne) {
  // A database from before group mode: no group table at all.
  WalkTo(7);
  EXPECT_FALSE(rules_->designation.use_group);
  EXPECT_FALSE(rules_->designation.group_available());
  rules_->designation.use_group = true;
  EXPECT_FALSE(rules_->UpdateButtons().finish);
  EXPECT_NE(std::string(CAdminWizardRules::kNoGroupHint).find("korvex7 group create NAME"),
            std::string::npos);
  rules_->Cancel();

  // A group created, the designation still this computer's: the group can be chosen.
  CreateGroup("line-4", false);
  Exec(
      "insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, STRING_VAL) "
      "values (2, 14, 2, 'plant-pc-1')");
  ASSERT_TRUE(Connect());
  while (rules_->CurrentPage() < 7) ASSERT_TRUE(rules_->Next());
  EXPECT_FALSE(rules_->designation.use_group);
  EXPECT_EQ(rules_->designation.group_name, "line-4");
  rules_->designation.use_group = true;
  ASSERT_EQ(rules_->Finish(), FinishResult::kDone) << testing::PrintToString(prompts_.messages);
  EXPECT_EQ(Option(14, "STRING_VAL"), "group:line-4");
  voltrane::DatabaseConfiguration config;
  ASSERT_EQ(voltrane::ReadConfiguration(config), 0);
  EXPECT_EQ(config.group_name, "line-4");
  EXPECT_EQ(config.group_member, kThisPc);
}

TEST_P(ManagerDatabaseTest, ForceIdleGovernsTheIdleFieldsAndNext) {
  WalkTo(4);
  ProcessingOptions& options = rules_->options;
  EXPECT_EQ(options.idle_timeout, 15);
  EXPECT_EQ(options.response_timeout, 5);
  rules_->SetIdleTimeoutText("0");
  EXPECT_FALSE(rules_->IdleFieldsEnabled());
  EXPECT_TRUE(rules_->UpdateButtons().next);  // Force off: the idle timeout does not count

  options.force_idle = true;
  EXPECT_FALSE(rules_->UpdateButtons().next);
  rules_->SetIdleTimeoutText("10");
  EXPECT_TRUE(rules_->UpdateButtons().next);

  options.auto_idle = true;
  EXPECT_TRUE(rules_->AutoIdleFieldsEnabled());
  EXPECT_FALSE(rules_->UpdateButtons().next);  // no downtime chosen
  ASSERT_FALSE(options.downtimes.empty());
  EXPECT_EQ(options.downtimes[0].text, "100 - Waiting for material");
  options.idle_downtime_id = CAdminWizardRules::IdOfText(options.downtimes, "110 - Tool change");
  EXPECT_EQ(options.idle_downtime_id, 2);
  EXPECT_TRUE(rules_->UpdateButtons().next);
  rules_->SetResponseTimeoutText("soon");
  EXPECT_FALSE(rules_->UpdateButtons().next);

  options.force_idle = false;  // Automatic Idle counts only under Force
  EXPECT_FALSE(rules_->AutoIdleFieldsEnabled());
  EXPECT_EQ(CAdminWizardRules::IdOfText(options.downtimes, "no such code"), -1);
}

TEST_P(ManagerDatabaseTest, LockValuesArePackedAsKindPlusFourTimesMinutes) {
  Exec("update T_SFC_DOWNTIME_CODE set CYCLE_STATUS_LOCK = 9 where DOWNTIME_CODE_ID = 1");
  WalkTo(5);
  ASSERT_EQ(rules_->locks.rows.size(), 7u);  // the demo plant's downtime codes
  const LockRow& first = rules_->locks.rows[0];
  EXPECT_EQ(first.downtime, "100 - Waiting for material");
  EXPECT_EQ(first.lock, kLockCycle);
  EXPECT_EQ(first.max_minutes, 2);
  EXPECT_EQ(rules_->locks.rows[1].lock, kLockCycle);  // 121: Cycle, 30 minutes
  EXPECT_EQ(rules_->locks.rows[1].max_minutes, 30);

  EXPECT_EQ(rules_->LockItemText(kLockSetup), "Setup");
  rules_->locks.setup_lock = 2;
  EXPECT_EQ(rules_->LockItemText(kLockSetup), "*Setup");
  EXPECT_EQ(rules_->LockItemTip(kLockSetup),
            "*Setup - Setup has no effect on downtime locks for Setup Lock: 'ALL'");

  rules_->locks.rows[0] = {1, "", kLockAll, 15};
  rules_->locks.rows[1] = {2, "", kLockNone, 0};
  while (rules_->CurrentPage() < 7) ASSERT_TRUE(rules_->Next());
  ASSERT_EQ(rules_->Finish(), FinishResult::kDone) << testing::PrintToString(prompts_.messages);
  EXPECT_EQ(Value("select CYCLE_STATUS_LOCK from T_SFC_DOWNTIME_CODE where DOWNTIME_CODE_ID = 1")
                .ToInt64(),
            63);
  EXPECT_EQ(Value("select CYCLE_STATUS_LOCK from T_SFC_DOWNTIME_CODE where DOWNTIME_CODE_ID = 2")
                .ToInt64(),
            0);
  EXPECT_EQ(Option(4, "BOOL_VAL"), "2");
  EXPECT_EQ(Option(5, "BOOL_VAL"), "0");
}

TEST_P(ManagerDatabaseTest, HeartbeatRowsAreAddedOnlyForEnabledMachines) {
  Exec("insert into T_SFC_MACHINE_HEARTBEAT (MACHINE_ID, ENABLED, TIMEOUT) values (2, 1, 90)");
  WalkTo(7);
  ASSERT_EQ(rules_->heartbeats.rows.size(), 5u);
  EXPECT_FALSE(rules_->heartbeats.rows[0].enabled);
  EXPECT_EQ(rules_->heartbeats.rows[0].timeout_seconds, 200);
  EXPECT_EQ(rules_->heartbeats.rows[0].machine, "101 - Lathe 1");
  EXPECT_TRUE(rules_->heartbeats.rows[1].enabled);
  EXPECT_EQ(rules_->heartbeats.rows[1].timeout_seconds, 90);
  EXPECT_EQ(rules_->heartbeats.return_timeout, 240);

  // An enabled machine needs a heartbeat downtime before Finish.
  EXPECT_TRUE(rules_->HeartbeatControlsEnabled());
  EXPECT_FALSE(rules_->UpdateButtons().finish);
  rules_->heartbeats.rows[1].enabled = false;
  EXPECT_TRUE(rules_->UpdateButtons().finish);
  rules_->heartbeats.rows[2].enabled = true;
  rules_->heartbeats.rows[2].timeout_seconds = 120;
  EXPECT_FALSE(rules_->UpdateButtons().finish);
  // Planned codes are not offered.
  EXPECT_EQ(CAdminWizardRules::IdOfText(rules_->heartbeats.downtimes, "120 - Planned maintenance"),
            -1);
  rules_->heartbeats.machine_downtime_id =
      CAdminWizardRules::IdOfText(rules_->heartbeats.downtimes, "190 - Heartbeat missing");
  ASSERT_EQ(rules_->heartbeats.machine_downtime_id, 4);
  EXPECT_TRUE(rules_->UpdateButtons().finish);

  ASSERT_EQ(rules_->Finish(), FinishResult::kDone) << testing::PrintToString(prompts_.messages);
  EXPECT_EQ(Value("select count(*) from T_SFC_MACHINE_HEARTBEAT").ToInt64(), 2);
  EXPECT_EQ(Value("select ENABLED from T_SFC_MACHINE_HEARTBEAT where MACHINE_ID = 2").ToInt64(), 0);
  EXPECT_EQ(Value("select TIMEOUT from T_SFC_MACHINE_HEARTBEAT where MACHINE_ID = 3").ToInt64(),
            120);
  EXPECT_EQ(Value("select ENABLED from T_SFC_MACHINE_HEARTBEAT where MACHINE_ID = 3").ToInt64(), 1);
  EXPECT_EQ(Option(13, "NUM_VAL"), "4");
}

TEST_P(ManagerDatabaseTest, AutoCreationDefaultsAreRequiredWhileTheirBoxIsOn) {
  Exec(
      "insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, BOOL_VAL) "
      "values (2, 9, 0, 1)");
  Exec(
      "insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, BOOL_VAL) "
      "values (2, 10, 0, 1)");
  WalkTo(6);
  AutoNewPage& page = rules_->auto_new;
  EXPECT_TRUE(page.auto_jobs);
  EXPECT_EQ(CAdminWizardRules::TextOfId(page.job_statuses, page.job_status), "In Process");
  EXPECT_TRUE(rules_->UpdateButtons().next);
  page.auto_parts = true;
  EXPECT_FALSE(rules_->UpdateButtons().next);
  ASSERT_FALSE(page.part_types.empty());
  page.part_type_id = page.part_types[0].id;
  page.part_revision = "B";
  EXPECT_TRUE(rules_->UpdateButtons().next);
  page.auto_ops = true;
  EXPECT_FALSE(rules_->UpdateButtons().next);
}

TEST_P(ManagerDatabaseTest, FinishWritesSettingsOptionsAndStartsTheService) {
  service_.running = true;
  WalkTo(4);
  rules_->options.timeout_text = "7";
  ASSERT_TRUE(rules_->AcceptTimeoutText());
  rules_->options.log_days_text = "30";
  rules_->options.auto_cycle = true;
  while (rules_->CurrentPage() < 7) ASSERT_TRUE(rules_->Next());
  EXPECT_EQ(rules_->WindowTitle(), "Configure Advanced Machine Connection");
  EXPECT_FALSE(rules_->Buttons().next);
  ASSERT_EQ(rules_->Finish(), FinishResult::kDone) << testing::PrintToString(prompts_.messages);

  EXPECT_EQ(service_.starts, 1);
  voltrane::DatabaseConfiguration config;
  ASSERT_EQ(voltrane::ReadConfiguration(config), 0);
  EXPECT_EQ(config.database_type, database_.kind);
  EXPECT_EQ(config.idle_timeout_ms, 7000);
  EXPECT_EQ(Option(14, "STRING_VAL"), kThisPc);
  EXPECT_EQ(Option(15, "NUM_VAL"), "30");
  EXPECT_EQ(Option(22, "BOOL_VAL"), "0");
  EXPECT_EQ(Option(23, "BOOL_VAL"), "-1");
  EXPECT_EQ(Option(28, "NUM_VAL"), "15");
  EXPECT_EQ(Option(31, "NUM_VAL"), "-1");
}

TEST_P(ManagerDatabaseTest, FailedSettingsWriteKeepsTheDatabaseChangesAndWritesNoOptions) {
  WalkTo(7);
  rules_->locks.rows[0].lock = kLockAll;  // Lock All, no minutes: 3
  rules_->heartbeats.start_service = true;
  const std::string machine_hive = sandbox_.dir() + "/machine.toml";
  std::ofstream(machine_hive) << "this is [not toml\n";
  EXPECT_EQ(rules_->Finish(), FinishResult::kStayed);
  EXPECT_TRUE(prompts_.Shown(
      "Voltrane MDC Service Manager was unable to write to the system registry, so configuration "
      "of the MDC Service failed. Check your permissions and try again."));
  EXPECT_EQ(Value("select CYCLE_STATUS_LOCK from T_SFC_DOWNTIME_CODE where DOWNTIME_CODE_ID = 1")
                .ToInt64(),
            3);
  EXPECT_EQ(Option(4, "BOOL_VAL"), "0");  // written with the locks
  EXPECT_EQ(Option(14, "STRING_VAL"), "<none>");
  EXPECT_EQ(Option(15, "NUM_VAL"), "<none>");
  EXPECT_EQ(testsupport::ReadWholeFile(machine_hive), "this is [not toml\n");
  EXPECT_EQ(service_.starts, 0);
  EXPECT_EQ(rules_->CurrentPage(), 7);
}

TEST_P(ManagerDatabaseTest, FailedServiceStartKeepsTheWizardOpen) {
  service_.start_works = false;
  WalkTo(7);
  EXPECT_EQ(rules_->Finish(), FinishResult::kStayed);
  EXPECT_TRUE(prompts_.Shown("Error, the MDC Service Failed to start"));
  rules_->heartbeats.start_service = false;
  EXPECT_EQ(rules_->Finish(), FinishResult::kDone);
}

TEST_P(ManagerDatabaseTest, OptionHelpersRoundTripAndReportMissingRows) {
  ManagerDatabase db(connection_, prompts_, {});
  // Not connected yet: a read offers Retry/Cancel, Cancel gives "not found".
  EXPECT_FALSE(db.ReadDBOptionNum(15).has_value());
  EXPECT_FALSE(prompts_.questions.empty());
  ASSERT_TRUE(Connect());
  ManagerDatabase connected(connection_, prompts_, {});
  EXPECT_FALSE(connected.ReadDBOptionNum(15).has_value());
  ASSERT_TRUE(connected.UpdateDBOptionNum(15, 12));
  ASSERT_TRUE(connected.UpdateDBOptionNum(15, 14));
  EXPECT_EQ(connected.ReadDBOptionNum(15), 14);
  EXPECT_EQ(Value("select count(*) from T_SFC_OPTION where OPTION_CODE = 15").ToInt64(), 1);
  ASSERT_TRUE(connected.UpdateDBOptionBool(27, -1));
  EXPECT_TRUE(connected.ReadDBOptionBool(27));
  EXPECT_EQ(connected.ReadDBOptionInt(27), -1);
  EXPECT_EQ(connected.ReadDBOptionStr(8), "");
  EXPECT_TRUE(connected.UpdateDB("DOWNTIME_CODE", 3, "CYCLE_STATUS_LOCK", "7"));

  // A lost connection is opened again with the same settings, without a question.
  const size_t questions = prompts_.questions.size();
  connection_.Disconnect();
  EXPECT_EQ(connected.ReadDBOptionNum(15), 14);
  EXPECT_EQ(prompts_.questions.size(), questions);
  EXPECT_FALSE(connected.UpdateDB("NO_SUCH_TABLE", 3, "X", "7"));
}

TEST_P(ManagerDatabaseTest, TheServerPageListsTheServersDatabases) {
  if (database_.kind != 4) GTEST_SKIP() << "a file database has no list";
  rules_->Load({});
  rules_->Next();
  ASSERT_EQ(rules_->CurrentPage(), 3);
  const std::string own = rules_->Server().database;
  rules_->DatabaseListFocused();
  ASSERT_TRUE(rules_->connection.database_list_loaded);
  const auto& list = rules_->connection.database_list;
  EXPECT_NE(std::find(list.begin(), list.end(), own), list.end());
  EXPECT_EQ(std::find(list.begin(), list.end(), "template0"), list.end());

  // A changed server clears the list; a failing server is tried once per two focuses.
  rules_->Server().server = "127.0.0.1:1";
  rules_->ServerFieldsChanged();
  rules_->DatabaseListFocused();
  EXPECT_TRUE(rules_->connection.database_list_failed);
  rules_->DatabaseListFocused();
  EXPECT_FALSE(rules_->connection.database_list_failed);
  EXPECT_FALSE(rules_->connection.database_list_loaded);
  // The failed test shows the provider's own text and asks for a retry of the list.
  EXPECT_FALSE(rules_->Next());
  EXPECT_TRUE(rules_->connection.database_list_retry_requested);
  EXPECT_FALSE(prompts_.Shown("The supplied connection information is not valid."));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ManagerDatabaseTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
