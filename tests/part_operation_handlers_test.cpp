// Operation and part commands fed through the processing loop on every
// database kind: record splits, the running cycle's event and time at a part
// change, the unfinished cycle of a part end (counted once), the deferred
// job creation and operation numbers in any letter case.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/machine_state_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using testsupport::kCycle;
using testsupport::kEnd;
using testsupport::kJob;
using testsupport::kOp;
using testsupport::kPart;
using testsupport::kStart;

constexpr int kOptCreateJobs = 9;

using PartOperationHandlersTest = testsupport::MachineStateTest;

TEST_P(PartOperationHandlersTest, APartStartDuringACycleSplitsTheCycleAndRestartsItsEvent) {
  Ok(1, kPart, kStart, "FLANGE-200", t(0));
  StartCycle(1, t(10));
  Ok(1, kPart, kStart, "shaft-100", t(100));

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Long("PART_ID"), 2);
  EXPECT_NEAR(records[0].Double("CYCLE_TIME"), 1.5, 1e-6);
  EXPECT_EQ(records[0].Text("CYCLE_START_TIME"), "null");
  EXPECT_EQ(records[1].Long("PART_ID"), 1);
  EXPECT_EQ(records[1].Long("PART_TYPE_ID"), 1);
  EXPECT_NEAR(records[1].Double("STANDARD_TIME"), 2.5, 1e-6);  // machine 101's time for the shaft
  EXPECT_EQ(records[1].Text("CYCLE_START_TIME"), t(100).ToText());
  EXPECT_EQ(UnfinishedCycles(1), 0);  // a part start cuts no piece

  const auto cycles = Events(1, kCycle);
  ASSERT_EQ(cycles.size(), 2u);
  EXPECT_EQ(cycles[0].Text("STOP_TIME"), t(100).ToText());
  EXPECT_EQ(cycles[1].Text("START_TIME"), t(100).ToText());
  EXPECT_EQ(cycles[1].Text("STOP_TIME"), "null");
}

TEST_P(PartOperationHandlersTest, APartStartThatChangesNothingCountsNothing) {
  Ok(1, kPart, kStart, "SHAFT-100", t(0));
  StartCycle(1, t(10));
  Ok(1, kPart, kStart, "Shaft-100", t(100));

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Long("UNFINISHED_CYCLES"), 0);
  EXPECT_EQ(records[0].Text("CYCLE_START_TIME"), t(10).ToText());
}

TEST_P(PartOperationHandlersTest, APartEndDuringACycleCountsOneUnfinishedCycle) {
  Ok(1, kPart, kStart, "SHAFT-100", t(0));
  StartCycle(1, t(10));
  Ok(1, kPart, kEnd, "", t(70));

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Long("UNFINISHED_CYCLES"), 1);
  EXPECT_NEAR(records[0].Double("CYCLE_TIME"), 1.0, 1e-6);
  EXPECT_TRUE(records[1].IsNull("PART_ID"));
  EXPECT_TRUE(records[1].IsNull("PART_TYPE_ID"));
  EXPECT_NEAR(records[1].Double("STANDARD_TIME"), 0.0, 1e-9);
  EXPECT_EQ(records[1].Text("CYCLE_START_TIME"), t(70).ToText());  // the cycle goes on
  EXPECT_EQ(records[1].Long("UNFINISHED_CYCLES"), 0);
  EXPECT_EQ(Events(1, kCycle).size(), 2u);
  EXPECT_EQ(Events(1, kPart).at(0).Text("STOP_TIME"), t(70).ToText());
}

TEST_P(PartOperationHandlersTest, APartEndAtTheRecordsStartStillSplits) {
  Ok(1, kPart, kStart, "SHAFT-100", t(0));
  Ok(1, kPart, kEnd, "", t(0));

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Text("START_TIME"), t(0).ToText());
  EXPECT_EQ(records[0].Text("STOP_TIME"), t(0).ToText());
  EXPECT_TRUE(records[1].IsNull("PART_ID"));
  EXPECT_TRUE(sandbox_.Traced("What?"));

  // Without a part there is nothing to end.
  Ok(1, kPart, kEnd, "", t(60));
  EXPECT_EQ(Records(1).size(), 2u);
}

TEST_P(PartOperationHandlersTest, AKnownPartCreatesTheJobEnteredBeforeIt) {
  SetBoolOption(kOptCreateJobs, true);
  Ok(1, kJob, kStart, "j3001", t(0));
  Ok(1, kPart, kStart, "SHAFT-100", t(60));

  const int64_t job = Value("select JOB_ID from T_SFC_JOB where JOB_NUMBER = 'J3001'").ToInt64();
  ASSERT_GT(job, 0);
  const auto records = Records(1);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Long("JOB_ID"), job);  // linked in the record that named it
  EXPECT_TRUE(records[0].IsNull("JOB_NUMBER"));
  EXPECT_TRUE(records[0].IsNull("JOB_DATA_START_ID"));
  EXPECT_EQ(records[0].Long("STATUS_CODE"), 2);
  EXPECT_EQ(records[1].Long("JOB_ID"), job);
  EXPECT_EQ(records[1].Long("PART_ID"), 1);
  const auto lines = Rows("select * from T_SFC_PART_PER_JOB where JOB_ID = " + std::to_string(job));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].Long("PART_ID"), 1);
}

TEST_P(PartOperationHandlersTest, AnUnknownPartStaysUnresolvedAndIsMatchedInAnyCase) {
  Ok(1, kPart, kStart, "SHAFT-100", t(0));
  Ok(1, kPart, kStart, "widget-9", t(60));
  Ok(1, kPart, kStart, "WIDGET-9", t(120));

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[1].IsNull("PART_ID"));
  EXPECT_EQ(records[1].Text("PART_NUMBER"), "WIDGET-9");
  EXPECT_EQ(records[1].Long("PART_DATA_START_ID"), records[1].Long("MACHINE_DATA_ID"));
  // The standard time stays the previous part's until a known part replaces it.
  EXPECT_NEAR(records[1].Double("STANDARD_TIME"), 2.5, 1e-6);
}

TEST_P(PartOperationHandlersTest, OperationNumbersDifferingInCaseAreOneOperation) {
  Ok(1, kOp, kStart, "op99", t(0));
  Ok(1, kOp, kStart, "Op10", t(60));
  Ok(1, kOp, kStart, "x-1", t(120));
  Ok(1, kOp, kStart, "X-1", t(180));
  Ok(1, kOp, kEnd, "", t(240));

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].Text("OP_NUMBER"), "OP99");
  EXPECT_EQ(records[1].Long("OP_ID"), 1);
  EXPECT_TRUE(records[1].IsNull("OP_NUMBER"));
  EXPECT_EQ(records[2].Text("OP_NUMBER"), "X-1");
  EXPECT_EQ(records[2].Text("STOP_TIME"), t(240).ToText());
  EXPECT_TRUE(records[3].IsNull("OP_NUMBER"));
  EXPECT_TRUE(records[3].IsNull("OP_DATA_START_ID"));
  EXPECT_EQ(Events(1, kOp).size(), 4u);
  EXPECT_EQ(Events(1, kOp).back().Text("STOP_TIME"), t(240).ToText());
}

TEST_P(PartOperationHandlersTest, AFailedPartCreationIsReportedAndTheRowLeavesNothing) {
  SetBoolOption(6, true);
  Exec("delete from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = 7");  // no part type
  EXPECT_EQ(Run(1, kPart, kStart, "NEW-1", t(0)),
            "Invalid PartTypeID specified for auto creation of parts");
  // The row stays in the log to be tried again, so none of its work is kept.
  EXPECT_TRUE(Records(1).empty());
  EXPECT_EQ(Value("select count(*) from T_SFC_PART").ToInt64(), 3);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PartOperationHandlersTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
