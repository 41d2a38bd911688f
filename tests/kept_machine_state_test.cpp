// What the collector keeps of a machine's state goes with a row that fails:
// the row's work is rolled back, and the next row of the machine works on
// the record as the database holds it.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/machine_state_fixture.h"

namespace {

using testsupport::kCycle;
using testsupport::kEnd;
using testsupport::kStart;

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
  Append(kCycle, kStart, t(120));
  Append(kCycle, kEnd, t(180));
  Append(kCycle, kEnd, t(200));
  for (int row = 0; row < 3; ++row) ASSERT_EQ(Next(), "");
  // The cycle end counts its cycle in the kept record, then fails setting
  // the machine's status.
  Exec("ALTER TABLE T_SFC_MACHINE RENAME TO T_SFC_MACHINE_AWAY");
  EXPECT_NE(Next(), "");
  Exec("ALTER TABLE T_SFC_MACHINE_AWAY RENAME TO T_SFC_MACHINE");
  ASSERT_EQ(Next(), "");

  // The cycle begun at 120 s ran until the second end, at 200 s.
  const auto records = Records(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Long("FINISHED_CYCLES"), 2);
  EXPECT_NEAR(records[0].Double("CYCLE_TIME"), 1.0 + 80.0 / 60.0, 1e-5);
  EXPECT_EQ(records[0].Text("IDLE_START_TIME"), t(200).ToText());
}

INSTANTIATE_TEST_SUITE_P(Kinds, KeptMachineStateTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
