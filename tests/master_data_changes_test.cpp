// Master data stays the other applications' to change while the collector
// keeps its machines' state: a part added, a job renamed and a downtime code
// added between two rows of one read of the log are seen by the next rows.
#include <gtest/gtest.h>

#include <string>

#include "library/records/machine_state_cache.h"
#include "tests/support/machine_state_fixture.h"

namespace {

using testsupport::kJob;
using testsupport::kPart;
using testsupport::kStart;

constexpr int kMachineDowntime = korvex7::Code(korvex7::CommandType::kMachineDowntime);

class MasterDataChangesTest : public testsupport::MachineStateTest {
 protected:
  // Appends a log row of machine 1 (demo keys) without processing it.
  void Append(int type, const std::string& param, const dbaccess::DateTime& at) {
    Exec(
        "insert into T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
        "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) values (" +
        std::to_string(type) + ",1,1,1,1," + std::to_string(kStart) + "," + Literal(at) + "," +
        Quoted(param) + ")");
  }
  bool Next() {
    std::string error;
    const bool processed = object_->log.DoNextItemFromMDCLog(error);
    EXPECT_EQ(error, "");
    return processed;
  }
};

TEST_P(MasterDataChangesTest, ChangesBetweenTwoRowsAreSeenByTheNextRows) {
  Append(kPart, "SHAFT-100", t(0));
  Append(kPart, "GEAR-400", t(60));
  Append(kJob, "J1001-B", t(120));
  Append(kMachineDowntime, "100", t(150));
  Append(kMachineDowntime, "140", t(180));
  ASSERT_TRUE(Next());
  ASSERT_EQ(Records(1).back().Long("PART_ID"), 1);

  // Another application, while the rest of the read waits.
  Exec("insert into T_SFC_PART (PART_ID, PART_NUMBER, PART_TYPE_ID, REV) values "
       "(40, 'GEAR-400', 1, 'A')");
  Exec("update T_SFC_JOB set JOB_NUMBER = 'J1001-B' where JOB_ID = 1");
  Exec("insert into T_SFC_DOWNTIME_CODE (DOWNTIME_CODE_ID, DOWNTIME_CODE_NUMBER, "
       "DOWNTIME_CODE_NAME, DOWNTIME_TYPE_CODE, CYCLE_STATUS_LOCK, PLANNED) values "
       "(40, '140', 'Coolant low', 0, 0, 0)");

  const int64_t hits = korvex7::internal::MachineStateHits();
  ASSERT_TRUE(Next());
  EXPECT_EQ(Records(1).back().Long("PART_ID"), 40);
  ASSERT_TRUE(Next());
  EXPECT_EQ(Records(1).back().Long("JOB_ID"), 1);
  ASSERT_TRUE(Next());
  ASSERT_TRUE(Next());
  const auto downtimes = Rows(
      "select DOWNTIME_CODE_ID from T_SFC_DT_PER_MACHINE_DATA order by DT_PER_MACHINE_DATA_ID");
  ASSERT_EQ(downtimes.size(), 2u);
  EXPECT_EQ(downtimes[1].Long("DOWNTIME_CODE_ID"), 40);
  // The rows ran on the machine state the collector kept.
  EXPECT_GT(korvex7::internal::MachineStateHits(), hits);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MasterDataChangesTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& param_info) { return param_info.param; });

}  // namespace
