// What the collector keeps of a machine's state goes with a row that fails:
// the row's work is rolled back, and the next row of the machine works on
// the record as the database holds it.
#include <gtest/gtest.h>

#include <string>

#include "library/records/machine_state_cache.h"
#include "tests/support/machine_state_fixture.h"

namespace {

using testsupport::kCycle;
using testsupport::kEnd;
using testsupport::kStart;

constexpr int kSetup = korvex7::Code(korvex7::CommandType::kSetup);

class KeptMachineStateTest : public testsupport::MachineStateTest {
 protected:
  // Appends a log row of machine 1 (demo keys) without processing it.
  void Append(int type, int time_code, const dbaccess::DateTime& at) {
    Exec(
        "insert into T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
        "COMMAND_TIME_CODE, TIME_STAMP) values (" +
        std::to_string(type) + ",1,1,1,1," + std::to_string(time_code) + "," + Literal(at) + ")");
  }
  std::string Next() {
    std::string error;
    object_->log.DoNextItemFromMDCLog(error);
    return error;
  }
};

TEST_P(KeptMachineStateTest, ARowThatFailsLeavesTheNextRowTheRecordAsStored) {
  Append(kCycle, kStart, t(0));
  Append(kCycle, kEnd, t(60));
  Append(kSetup, kStart, t(90));
  Append(kCycle, kStart, t(120));
  Append(kCycle, kEnd, t(180));
  ASSERT_EQ(Next(), "");
  ASSERT_EQ(Next(), "");
  // The setup start edits the kept record, then fails for want of its table.
  Exec("ALTER TABLE T_SFC_DT_PER_MACHINE_DATA RENAME TO T_SFC_DT_AWAY");
  EXPECT_NE(Next(), "");
  Exec("ALTER TABLE T_SFC_DT_AWAY RENAME TO T_SFC_DT_PER_MACHINE_DATA");
  const int64_t hits = korvex7::internal::MachineStateHits();
  ASSERT_EQ(Next(), "");
  ASSERT_EQ(Next(), "");

  const auto records = Records(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Long("FINISHED_CYCLES"), 2);
  EXPECT_NEAR(records[0].Double("CYCLE_TIME"), 2.0, 1e-6);
  EXPECT_EQ(records[0].Text("SETUP_START_TIME"), "null");
  EXPECT_NEAR(records[0].Double("SETUP_TIME"), 0.0, 1e-9);
  EXPECT_EQ(records[0].Text("IDLE_START_TIME"), t(180).ToText());
  // The last row ran on the state kept after the read again.
  EXPECT_GT(korvex7::internal::MachineStateHits(), hits);
}

INSTANTIATE_TEST_SUITE_P(Kinds, KeptMachineStateTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
