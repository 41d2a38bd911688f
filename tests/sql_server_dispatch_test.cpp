// What the handlers and the processing loop send to SQL Server: the
// stored-procedure calls of the event records, the bulk pre-processing of
// custom starts and the batch statement, through a fake provider that
// records every call.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/backend.h"
#include "library/components.h"
#include "tests/support/fake_provider.h"
#include "tests/support/settings_sandbox.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using dbaccess::ParamDirection;
using dbaccess::ParamType;

struct ExpectedParam {
  std::string name;
  ParamType type;
  ParamDirection direction;
};

class SqlServerDispatchTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(object_->session.ConnectToDatabase("Provider=FakeSql;Data Source=srv;", 2, error))
        << error;
    script_->executed.clear();
  }

  static void ExpectParams(const testsupport::FakeProcedureCall& call,
                           const std::vector<ExpectedParam>& expected) {
    ASSERT_EQ(call.parameters.size(), expected.size()) << call.name;
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(call.parameters[i].name, expected[i].name);
      EXPECT_EQ(call.parameters[i].type, expected[i].type) << expected[i].name;
      EXPECT_EQ(call.parameters[i].direction, expected[i].direction) << expected[i].name;
    }
  }
  bool Executed(const std::string& sql) const {
    const auto& all = script_->executed;
    return std::find(all.begin(), all.end(), sql) != all.end();
  }

  testsupport::SettingsSandbox sandbox_;
  std::shared_ptr<testsupport::FakeScript> script_ = std::make_shared<testsupport::FakeScript>();
  testsupport::FakeProviderRegistration registration_{"FakeSql", script_};
  std::shared_ptr<dbaccess::ManualClock> clock_ = std::make_shared<dbaccess::ManualClock>();
  std::unique_ptr<Components> object_ = std::make_unique<Components>(clock_);
  dbaccess::DateTime t0_ = dbaccess::DateTime::FromParts(2026, 1, 5, 7, 0, 0, 250);
};

TEST_F(SqlServerDispatchTest, ACustomStartCallsAddEventRecordWithoutATransactionOfItsOwn) {
  script_->procedure_outputs["RETURN_VALUE"] = 41;
  const int transactions_before = script_->transaction_calls;
  std::string error = "stale";
  ASSERT_TRUE(object_->handlers.events.DoCustomStart({{7, 8, 9, 3}, 19, "door", t0_}, error))
      << error;
  EXPECT_EQ(script_->transaction_calls, transactions_before);
  ASSERT_EQ(script_->procedures.size(), 1u);
  const auto& call = script_->procedures[0];
  EXPECT_EQ(call.name, "AddEventRecord");
  ExpectParams(call, {{"RETURN_VALUE", ParamType::kInteger, ParamDirection::kReturnValue},
                      {"DeptID", ParamType::kInteger, ParamDirection::kInput},
                      {"LocationID", ParamType::kInteger, ParamDirection::kInput},
                      {"GroupID", ParamType::kInteger, ParamDirection::kInput},
                      {"MachineID", ParamType::kInteger, ParamDirection::kInput},
                      {"CommandID", ParamType::kInteger, ParamDirection::kInput},
                      {"strParam", ParamType::kText, ParamDirection::kInput},
                      {"dtCurrentTime", ParamType::kDateTime, ParamDirection::kInput},
                      {"isBoth", ParamType::kBoolean, ParamDirection::kInput}});
  EXPECT_EQ(call.parameters[1].value.ToLong(), 7);
  EXPECT_EQ(call.parameters[4].value.ToLong(), 3);
  EXPECT_EQ(call.parameters[6].value.ToText(), "door");
  EXPECT_EQ(call.parameters[6].size, 255);
  EXPECT_EQ(call.parameters[7].value.ToDateTime(), t0_);
  EXPECT_FALSE(call.parameters[8].value.ToBool());
  EXPECT_TRUE(sandbox_.Traced("AddEventRecord3,19,2026-01-05 07:00:00.250"));

  ASSERT_TRUE(object_->handlers.events.DoCustomBoth({{7, 8, 9, 3}, 19, "", t0_}, error)) << error;
  EXPECT_GT(script_->transaction_calls, transactions_before);  // "both" keeps its own
  EXPECT_TRUE(script_->procedures.back().parameters[8].value.ToBool());
}

TEST_F(SqlServerDispatchTest, AFailedProcedureIsReportedWithAnEmptyStep) {
  script_->fail_sql_containing = "AddEventRecord";
  script_->execute_failure = {static_cast<int32_t>(0x80040E14u), "deadlock victim"};
  std::string error;
  EXPECT_FALSE(object_->handlers.events.DoCustomStart({{1, 1, 1, 3}, 19, "", t0_}, error));
  EXPECT_EQ(error, " - deadlock victim");
}

TEST_F(SqlServerDispatchTest, ACustomEndCallsSetEventStopTimeAndTracesItsOutputs) {
  script_->procedure_outputs = {{"RETURN_VALUE", 1}, {"DidStop", 1}, {"MachineEventID", 12}};
  bool ended = false;
  ASSERT_TRUE(object_->handlers.events.SetEventStopTime(3, 19, t0_, 1, &ended));
  EXPECT_TRUE(ended);
  ASSERT_EQ(script_->procedures.size(), 1u);
  const auto& call = script_->procedures[0];
  EXPECT_EQ(call.name, "SetEventStopTime");
  ExpectParams(call, {{"RETURN_VALUE", ParamType::kInteger, ParamDirection::kReturnValue},
                      {"MachineID", ParamType::kInteger, ParamDirection::kInput},
                      {"CommandID", ParamType::kInteger, ParamDirection::kInput},
                      {"dtCurrentTime", ParamType::kDateTime, ParamDirection::kInput},
                      {"MachineEventID", ParamType::kInteger, ParamDirection::kOutput},
                      {"DidStop", ParamType::kInteger, ParamDirection::kOutput}});
  EXPECT_TRUE(sandbox_.Traced("SetEventStopTime3,19,2026-01-05 07:00:00.250"));
  EXPECT_TRUE(sandbox_.Traced("RETURN_VALUE:1"));
  EXPECT_TRUE(sandbox_.Traced("DidStop:1, MachineID = 3, CommandID = 19"));
  EXPECT_TRUE(sandbox_.Traced("MachineEventID:12"));

  // A null DidStop counts as nothing ended.
  script_->procedure_outputs = {{"RETURN_VALUE", 1}};
  ended = true;
  std::string error;
  ASSERT_TRUE(object_->handlers.events.SetEventStopTime(3, 19, t0_, 1, &ended));
  EXPECT_FALSE(ended);
  EXPECT_TRUE(object_->handlers.events.DoCustomEnd({{1, 1, 1, 3}, 19, "", t0_}, error)) << error;
}

TEST_F(SqlServerDispatchTest, AFailedStopProcedureFallsBackToStatements) {
  script_->fail_sql_containing = "SetEventStopTime";
  script_->execute_failure = {static_cast<int32_t>(0x80040E14u), "no such procedure"};
  bool ended = true;
  ASSERT_TRUE(object_->handlers.events.SetEventStopTime(3, 19, t0_, 1, &ended));
  EXPECT_FALSE(ended);  // the fake holds no machine event row
  bool traced = false;
  for (const std::string& line : sandbox_.Messages()) {
    traced = traced || (line.rfind("SetEventStopTime Error:", 0) == 0 &&
                        line.find("no such procedure") != std::string::npos);
  }
  EXPECT_TRUE(traced);
  EXPECT_TRUE(
      Executed("select * from T_SFC_MACHINE_EVENT  where MACHINE_ID = 3 and COMMAND_ID = 19"));
}

TEST_F(SqlServerDispatchTest, TheLoopPreProcessesCustomStartsAndReadsTheBatchWithoutLocks) {
  std::string error;
  bool clean = false;
  ASSERT_TRUE(object_->handlers.events.DoPreProcessCustomCommands(error, clean)) << error;
  EXPECT_TRUE(Executed("EXEC DoAllCustomStartsInLog"));
  EXPECT_TRUE(sandbox_.Traced("DONE with DoAllCustomStartsInLog"));

  object_->log.DoNextItemFromMDCLog(error);  // the announcement
  script_->executed.clear();
  object_->log.DoNextItemFromMDCLog(error);
  EXPECT_TRUE(Executed("EXEC DoAllCustomStartsInLog")) << error;
  EXPECT_TRUE(
      Executed("select top 1000 * from (select MDC_LOG_ID, COMMAND_ID, DEPT_ID, "
               "LOCATION_ID, GROUP_ID, MACHINE_ID, COMMAND_TIME_CODE, PARAM1, TIME_STAMP "
               "as TS from T_SFC_MDC_LOG  with (NOLOCK)) Sel order by MDC_LOG_ID"))
      << error;
  EXPECT_TRUE(Executed("select CURRENT_TIMESTAMP"));

  // A failing pre-processing stops the refill with its text.
  script_->executed.clear();
  script_->fail_sql_containing = "DoAllCustomStartsInLog";
  script_->execute_failure = {static_cast<int32_t>(0x80040E14u), "busy"};
  object_->log.DoNextItemFromMDCLog(error);
  EXPECT_NE(error.find("busy"), std::string::npos) << error;
  for (const std::string& sql : script_->executed) {
    EXPECT_EQ(sql.find("select top 1000"), std::string::npos);
  }
}

TEST_F(SqlServerDispatchTest, ALostConnectionClosesItSoTheServiceConnectsAgain) {
  std::string error;
  object_->log.DoNextItemFromMDCLog(error);  // the announcement
  script_->fail_sql_containing = "select top 1000";
  script_->execute_failure = {static_cast<int32_t>(0x80004005u), "Communication link failure"};
  EXPECT_FALSE(object_->log.DoNextItemFromMDCLog(error));
  EXPECT_EQ(error, "Error # -2147467259:Communication link failure");
  EXPECT_TRUE(sandbox_.Traced("Unhandled error: " + error));
  EXPECT_TRUE(
      sandbox_.Traced("connection failure: closing connection so the service will re-open it"));
  EXPECT_FALSE(object_->log.IsConnected());
}

TEST_F(SqlServerDispatchTest, TheCountReadsWithoutLocks) {
  EXPECT_EQ(object_->log.GetMDCLogCount(), 0);
  EXPECT_TRUE(Executed("select COUNT(MDC_LOG_ID) AS CT from T_SFC_MDC_LOG  with (NOLOCK) "));
}

}  // namespace
