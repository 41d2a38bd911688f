// Schema maintenance on real databases of every available kind: the
// existence checks, the machine pointer repair and the startup checks; and
// the stored procedure installation on SQL Server, replayed through the fake
// provider since no SQL Server runs here.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/recordset.h"
#include "library/components.h"
#include "library/log/log_history.h"
#include "tests/support/fake_provider.h"
#include "tests/support/row_triggers.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"

using namespace korvex7::internal;  // the library's internals

namespace {

class SchemaMaintenanceTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), true);
    object_ = std::make_unique<Components>();
    std::string error;
    ASSERT_TRUE(
        object_->session.ConnectToDatabase(database_.connection_string, database_.kind, error))
        << error;
  }
  void TearDown() override {
    object_.reset();
    testsupport::DropTestDatabase(database_);
  }

  void Exec(const std::string& sql) { object_->session.connection()->Execute(sql); }
  std::string Scalar(const std::string& sql) {
    dbaccess::Recordset rs;
    rs.Open(sql, object_->session.connection());
    return rs.Eof() ? "" : rs.Fields(size_t{0}).Value().ToText();
  }
  std::vector<int32_t> MachineIDs() {
    dbaccess::Recordset rs;
    rs.Open("select MACHINE_ID from T_SFC_MACHINE order by MACHINE_ID",
            object_->session.connection());
    std::vector<int32_t> ids;
    for (; !rs.Eof(); rs.MoveNext()) ids.push_back(rs.Fields(size_t{0}).Value().ToLong());
    return ids;
  }
  // A new open record of machine `owner` (with a made-up hierarchy), and its key.
  int32_t AddRecord(int32_t owner) {
    Exec(
        "insert into T_SFC_MACHINE_DATA (MACHINE_ID, DEPT_ID, LOCATION_ID, GROUP_ID, "
        "STATUS_CODE) values (" +
        std::to_string(owner) + ", 900, 901, 902, 0)");
    return std::stoi(Scalar("select max(MACHINE_DATA_ID) from T_SFC_MACHINE_DATA"));
  }
  void PointMachineTo(int32_t machine, int32_t record) {
    Exec("update T_SFC_MACHINE set MACHINE_DATA_ID = " + std::to_string(record) +
         " where MACHINE_ID = " + std::to_string(machine));
  }
  std::string RecordOwner(int32_t record) {
    return Scalar("select " +
                  std::string("MACHINE_ID || '/' || DEPT_ID || '/' || LOCATION_ID ||"
                              " '/' || GROUP_ID from T_SFC_MACHINE_DATA where "
                              "MACHINE_DATA_ID = ") +
                  std::to_string(record));
  }
  std::string Hierarchy(int32_t machine) {
    return Scalar(
        "select m.MACHINE_ID || '/' || l.DEPT_ID || '/' || g.LOCATION_ID || '/' || "
        "m.GROUP_ID from T_SFC_MACHINE m, T_SFC_GROUP g, T_SFC_LOCATION l where "
        "g.GROUP_ID = m.GROUP_ID and l.LOCATION_ID = g.LOCATION_ID and m.MACHINE_ID = " +
        std::to_string(machine));
  }
  // Two machines that point to each other's record, as a faulty client leaves them.
  void CrossTwoMachines(int32_t a, int32_t b, int32_t* record_of_a, int32_t* record_of_b) {
    *record_of_a = AddRecord(a);
    *record_of_b = AddRecord(b);
    PointMachineTo(a, *record_of_b);
    PointMachineTo(b, *record_of_a);
  }

  static std::string Warning(int32_t machine, int32_t other) {
    return "Warning: Detected and repaired a problem with MachineID = " + std::to_string(machine) +
           " reference to MACHINE_DATA mismatch, was previously pointing to MachineID = " +
           std::to_string(other);
  }

  testsupport::SettingsSandbox trace_;
  testsupport::TestDatabase database_;
  std::unique_ptr<Components> object_;
};

TEST_P(SchemaMaintenanceTest, ExistenceChecksSeeTablesAndIndexesByExactName) {
  EXPECT_TRUE(object_->schema.TableExists("T_SFC_MACHINE"));
  EXPECT_TRUE(object_->schema.TableExists("T_SFC_MDC_LOG"));
  EXPECT_FALSE(object_->schema.TableExists("t_sfc_machine"));  // case included, as on SQL Server
  EXPECT_FALSE(object_->schema.TableExists("T_SFC_MDC_LOG_HIST"));
  EXPECT_FALSE(object_->schema.TableExists("T_SFC_MACHIN"));
  EXPECT_FALSE(object_->schema.TableExists("T_SFC_MACHINE_%"));  // a pattern matches nothing
  // The schema's index on the log by machine: K_SFC_ + ShortenName("MDC_LOG_MACHINE_ID").
  EXPECT_TRUE(object_->schema.IndexExists("MDC_LOG", "MACHINE_ID"));
  EXPECT_FALSE(object_->schema.IndexExists("MDC_LOG_HIST", "MDC_LOG_ID"));
  EXPECT_FALSE(object_->schema.IndexExists("MDC_LOG", "PARAM1"));

  for (const std::string& statement : LogHistoryCreateStatements(database_.kind)) Exec(statement);
  EXPECT_TRUE(object_->schema.TableExists("T_SFC_MDC_LOG_HIST"));
  EXPECT_FALSE(object_->schema.IndexExists("MDC_LOG_HIST", "MDC_LOG_ID"));
  Exec(LogHistoryIndexStatement(database_.kind));
  EXPECT_TRUE(object_->schema.IndexExists("MDC_LOG_HIST", "MDC_LOG_ID"));
}

TEST_P(SchemaMaintenanceTest, MachinesPointingToTheirOwnRecordsNeedNoRepair) {
  const auto machines = MachineIDs();
  ASSERT_GE(machines.size(), 3u);
  PointMachineTo(machines[0], AddRecord(machines[0]));
  PointMachineTo(machines[1], AddRecord(machines[1]));
  // machines[2] has no current record: not a mismatch.
  std::string error = "left over";
  object_->schema.CheckAndFixMachines(error);
  EXPECT_EQ(error, "");
}

TEST_P(SchemaMaintenanceTest, TwoCrossedMachinesGetTheirRecordsBack) {
  const auto machines = MachineIDs();
  const int32_t a = machines[0];
  const int32_t b = machines[2];
  ASSERT_NE(Hierarchy(a).substr(Hierarchy(a).find('/')),
            Hierarchy(b).substr(Hierarchy(b).find('/')))
      << "the demo plant should place these machines in different groups";
  int32_t record_of_a = 0;
  int32_t record_of_b = 0;
  CrossTwoMachines(a, b, &record_of_a, &record_of_b);

  std::string error;
  object_->schema.CheckAndFixMachines(error);

  // Each record now belongs, with that machine's hierarchy, to the machine pointing to it.
  EXPECT_EQ(RecordOwner(record_of_b), Hierarchy(a));
  EXPECT_EQ(RecordOwner(record_of_a), Hierarchy(b));
  std::vector<std::string> lines;
  for (size_t start = 0;;) {
    const size_t end = error.find("\r\n", start);
    lines.push_back(error.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  std::sort(lines.begin(), lines.end());
  std::vector<std::string> expected = {Warning(a, b), Warning(b, a)};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lines, expected) << error;
  EXPECT_TRUE(trace_.Traced("MachineDataCheck: " + lines[0]) ||
              trace_.Traced("MachineDataCheck: " + lines[1]));

  object_->schema.CheckAndFixMachines(error);
  EXPECT_EQ(error, "");
}

TEST_P(SchemaMaintenanceTest, StartupChecksReportARepairAndPassTheNextRun) {
  const auto machines = MachineIDs();
  int32_t record_of_a = 0;
  int32_t record_of_b = 0;
  CrossTwoMachines(machines[0], machines[1], &record_of_a, &record_of_b);

  std::string error;
  object_->schema.StartupDatabaseChecksAndUpdates(error);
  EXPECT_NE(error.find("Warning: "), std::string::npos);
  // Two lines: the trace holds them as they are, CR LF included.
  ASSERT_NE(error.find("\r\n"), std::string::npos);
  EXPECT_TRUE(trace_.Traced("CheckAndFixMachines: " + error.substr(0, error.find("\r\n"))));

  object_->schema.StartupDatabaseChecksAndUpdates(error);
  EXPECT_EQ(error, "");
}

// The startup checks create nothing on a database without the library's own
// objects: no stored procedures on this kind, and the history table waits
// for history to be switched on.
TEST_P(SchemaMaintenanceTest, StartupChecksPassOnADatabaseWithoutTheLibrarysObjects) {
  std::string error = "left over";
  object_->schema.StartupDatabaseChecksAndUpdates(error);
  EXPECT_EQ(error, "");
  EXPECT_FALSE(object_->schema.TableExists("T_SFC_MDC_LOG_HIST"));
  for (const std::string& message : trace_.Messages()) {
    EXPECT_EQ(message.find("InstallStoredProcedures"), std::string::npos) << message;
  }
}

TEST_P(SchemaMaintenanceTest, ARecordThatCannotBeUpdatedStopsTheRepairWithAnError) {
  const auto machines = MachineIDs();
  int32_t record_of_a = 0;
  int32_t record_of_b = 0;
  CrossTwoMachines(machines[0], machines[1], &record_of_a, &record_of_b);
  for (const std::string& sql : testsupport::RowTriggerStatements(
           database_, "keep_records", "T_SFC_MACHINE_DATA", "update", "")) {
    Exec(sql);
  }

  std::string error;
  object_->schema.CheckAndFixMachines(error);
  // The first machine returned is reported, and the repair stops there.
  EXPECT_EQ(error.find("\r\n"), std::string::npos) << error;
  EXPECT_EQ(error.rfind("Error: Detected but failed to repair a problem with MachineID = ", 0), 0u)
      << error;
  EXPECT_NE(error.find(" reference to MACHINE_DATA mismatch, is erroneously pointing to "
                       "MachineID = "),
            std::string::npos);

  Exec(testsupport::DropRowTriggerStatement(database_, "keep_records", "T_SFC_MACHINE_DATA"));
  for (const std::string& sql : testsupport::RowTriggerStatements(
           database_, "refuse_records", "T_SFC_MACHINE_DATA", "update", "records are read-only")) {
    Exec(sql);
  }
  error = "";
  object_->schema.CheckAndFixMachines(error);
  EXPECT_EQ(error, "");  // a failing statement is traced, not reported
  bool traced = false;
  for (const std::string& message : trace_.Messages()) {
    traced = traced || (message.rfind("MachineDataCheck: Error # ", 0) == 0 &&
                        message.find("records are read-only") != std::string::npos);
  }
  EXPECT_TRUE(traced);
}

TEST_P(SchemaMaintenanceTest, InstallingStoredProceduresLeavesOtherKindsUntouched) {
  std::string error = "kept";
  object_->schema.InstallStoredProcedures(error);
  EXPECT_EQ(error, "kept");
}

INSTANTIATE_TEST_SUITE_P(AllKinds, SchemaMaintenanceTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

// ---- SQL Server, through the fake provider ----

class StoredProcedureInstallTest : public testing::Test {
 protected:
  void Connect(int32_t kind) {
    std::string error;
    ASSERT_TRUE(object_.session.ConnectToDatabase("Provider=FakeSql;Data Source=srv;", kind, error))
        << error;
    script_->executed.clear();
  }
  std::vector<std::string> ExecutedBatches() {
    std::vector<std::string> batches;
    for (const std::string& sql : script_->executed) {
      if (sql.find("PROCEDURE") != std::string::npos) batches.push_back(sql);
    }
    return batches;
  }

  testsupport::SettingsSandbox trace_;
  std::shared_ptr<testsupport::FakeScript> script_ = std::make_shared<testsupport::FakeScript>();
  testsupport::FakeProviderRegistration registration_{"FakeSql", script_};
  Components object_;
};

TEST_F(StoredProcedureInstallTest, MissingProceduresAreNoErrorWhenTheCreatesSucceed) {
  Connect(2);
  script_->fail_sql_containing = "DROP PROCEDURE";
  script_->execute_failure = {static_cast<int32_t>(0x80040E37u),
                              "Cannot drop the procedure, because it does not exist."};
  std::string error = "left over";
  object_.schema.InstallStoredProcedures(error);
  EXPECT_EQ(error, "");
  const auto batches = ExecutedBatches();
  ASSERT_EQ(batches.size(), 6u);
  EXPECT_EQ(batches[0], "DROP PROCEDURE SetEventStopTime;\r\n");
  EXPECT_NE(batches[5].find("CREATE PROCEDURE DoAllCustomStartsInLog"), std::string::npos);
  const auto messages = trace_.Messages();
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(trace_.Traced("InstallStoredProcedures " + std::to_string(i) + ": Success"));
  }
  for (int i = 3; i < 6; ++i) {
    EXPECT_TRUE(trace_.Traced("InstallStoredProcedures " + std::to_string(i) + ": Success"));
  }
  for (const std::string& message : messages) {
    EXPECT_EQ(message.find("-2147217865"), std::string::npos) << message;
  }
}

TEST_F(StoredProcedureInstallTest, OnlyTheLastBatchDecidesTheErrorText) {
  Connect(2);
  script_->fail_sql_containing = "CREATE PROCEDURE AddEventRecord";
  script_->execute_failure = {static_cast<int32_t>(0x80040E14u), "Incorrect syntax"};
  std::string error;
  object_.schema.InstallStoredProcedures(error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(ExecutedBatches().size(), 6u);  // the failure does not stop the script
  EXPECT_TRUE(trace_.Traced("InstallStoredProcedures 4: Error # -2147217900:Incorrect syntax"));

  script_->fail_sql_containing = "CREATE PROCEDURE DoAllCustomStartsInLog";
  object_.schema.InstallStoredProcedures(error);
  EXPECT_EQ(error, "Error # -2147217900:Incorrect syntax");
}

TEST_F(StoredProcedureInstallTest, StartupChecksInstallInTheSameRunWhenNothingNeedsRepair) {
  Connect(2);
  std::string error;
  object_.schema.StartupDatabaseChecksAndUpdates(error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(ExecutedBatches().size(), 6u);
}

TEST_F(StoredProcedureInstallTest, OracleAndAccessInstallNothing) {
  for (int32_t kind : {0, 1}) {
    Connect(kind);
    std::string error = "kept";
    object_.schema.InstallStoredProcedures(error);
    EXPECT_EQ(error, "kept");
    EXPECT_TRUE(ExecutedBatches().empty());
  }
}

}  // namespace
