// The mapping of one machine's observations to log commands: each item's
// rule, UNAVAILABLE, values seen again, and the two downtime causes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mtconnect/item_names.h"
#include "mtconnect/observation_mapper.h"

namespace mtconnect {
namespace {

using Commands = std::vector<LogCommand>;

class MappingTest : public testing::Test {
 protected:
  // Feeds the observation; returns its commands. Every command carries the
  // time of the observation that caused it.
  Commands See(const std::string& item, const std::string& value) {
    return mapper_.Observe(Observation{now_, item, value, ""});
  }
  LogCommand At(int32_t type, int32_t time_code, const std::string& param) const {
    return LogCommand{type, time_code, param, now_};
  }

  MappingOptions options_{ItemNames{}, false, "100", ""};
  ObservationMapper mapper_{options_};
  const int64_t now_ = 1659966694716;
};

TEST_F(MappingTest, ExecutionStartsAndEndsCycles) {
  EXPECT_EQ(See("execution", "READY"), Commands{});
  EXPECT_EQ(See("execution", "ACTIVE"), Commands{At(kCycleCommand, kStartCode, "")});
  EXPECT_EQ(See("execution", "active"), Commands{});
  EXPECT_EQ(See("execution", "UNAVAILABLE"), Commands{});  // no end: nothing known
  EXPECT_EQ(See("execution", "ACTIVE"), Commands{});       // seen again: no change
  EXPECT_EQ(See("execution", "PROGRAM_COMPLETED"), Commands{At(kCycleCommand, kEndCode, "")});
  EXPECT_EQ(See("execution", "READY"), Commands{});
}

TEST_F(MappingTest, ExecutionActiveAtTheStartIsACycleStart) {
  EXPECT_EQ(See("execution", "ACTIVE"), Commands{At(kCycleCommand, kStartCode, "")});
}

TEST_F(MappingTest, PartCountRisesAreGoodPartsAndFallsMoveTheBaseline) {
  EXPECT_EQ(See("part_count", "41"), Commands{});  // the baseline
  EXPECT_EQ(See("part_count", "42"), Commands{At(kGoodCountCommand, kBothCode, "1")});
  EXPECT_EQ(See("part_count", "45"), Commands{At(kGoodCountCommand, kBothCode, "3")});
  EXPECT_EQ(See("part_count", "0"), Commands{});  // counter reset
  EXPECT_EQ(See("part_count", "UNAVAILABLE"), Commands{});
  EXPECT_EQ(See("part_count", "not a number"), Commands{});
  EXPECT_EQ(See("part_count", "2"), Commands{At(kGoodCountCommand, kBothCode, "2")});
  EXPECT_EQ(See("part_count", "2"), Commands{});
}

TEST_F(MappingTest, ProgramAndOperatorStartOnANewNonEmptyName) {
  EXPECT_EQ(See("program", "O1000"), Commands{At(kPartCommand, kStartCode, "O1000")});
  EXPECT_EQ(See("program", "O1000"), Commands{});
  EXPECT_EQ(See("program", "UNAVAILABLE"), Commands{});
  EXPECT_EQ(See("program", "O1000"), Commands{});
  EXPECT_EQ(See("program", ""), Commands{});
  EXPECT_EQ(See("program", "O1000"), Commands{At(kPartCommand, kStartCode, "O1000")});
  EXPECT_EQ(See("operator", ""), Commands{});
  EXPECT_EQ(See("operator", "Ann O'Neil"), Commands{At(kLogonCommand, kStartCode, "Ann O'Neil")});
  EXPECT_EQ(See("operator", "Ann O'Neil"), Commands{});
}

TEST_F(MappingTest, ProgramStartsAJobWhenAsked) {
  options_.program_starts_job = true;
  ObservationMapper mapper(options_);
  EXPECT_EQ(mapper.Observe(Observation{5, "program", "O2000", ""}),
            (Commands{{kJobCommand, kStartCode, "O2000", 5}}));
}

TEST_F(MappingTest, UnavailableOrEstopIsOneDowntimeUntilBothAreBack) {
  EXPECT_EQ(See("availability", "AVAILABLE"), Commands{});  // nothing to end
  EXPECT_EQ(See("emergency_stop", "ARMED"), Commands{});
  EXPECT_EQ(See("availability", "UNAVAILABLE"),
            Commands{At(kMachineDowntimeCommand, kStartCode, "100")});
  EXPECT_EQ(See("emergency_stop", "TRIGGERED"), Commands{});  // already down
  EXPECT_EQ(See("availability", "AVAILABLE"), Commands{});    // the stop still holds
  EXPECT_EQ(See("emergency_stop", "UNAVAILABLE"), Commands{});
  EXPECT_EQ(See("emergency_stop", "ARMED"), Commands{At(kMachineDowntimeCommand, kEndCode, "")});
}

TEST_F(MappingTest, AnEmergencyStopUsesItsOwnCodeWhenConfigured) {
  options_.estop_downtime_code = "110";
  ObservationMapper mapper(options_);
  EXPECT_EQ(mapper.Observe(Observation{7, "emergency_stop", "TRIGGERED", ""}),
            (Commands{{kMachineDowntimeCommand, kStartCode, "110", 7}}));
}

TEST_F(MappingTest, ItemsAreFoundByTheirOwnOrTheirSecondNameAndOthersAreUnknown) {
  std::string message;
  ASSERT_TRUE(ApplyItemList("execution=pexecution", options_.items, message));
  ObservationMapper mapper(options_);
  bool unknown = false;
  EXPECT_EQ(mapper.Observe(Observation{1, "X1actm", "5742.8", ""}, &unknown), Commands{});
  EXPECT_TRUE(unknown);
  EXPECT_EQ(mapper.Observe(Observation{2, "d1_exec", "ACTIVE", "pexecution"}, &unknown),
            (Commands{{kCycleCommand, kStartCode, "", 2}}));
  EXPECT_FALSE(unknown);
}

TEST(ItemList, SetsNamedRolesAndRefusesWhatItDoesNotKnow) {
  ItemNames names;
  std::string message;
  EXPECT_TRUE(
      ApplyItemList("execution=pexecution,part_count=ppartcount,estop=estop", names, message));
  EXPECT_EQ(names.execution, "pexecution");
  EXPECT_EQ(names.part_count, "ppartcount");
  EXPECT_EQ(names.estop, "estop");
  EXPECT_EQ(names.program, "program");
  EXPECT_FALSE(ApplyItemList("spindle=S1speed", names, message));
  EXPECT_EQ(message,
            "Unknown item key \"spindle\": use execution, part_count, program, operator, "
            "availability or estop.");
  EXPECT_FALSE(ApplyItemList("execution", names, message));
  EXPECT_EQ(message, "Item entry \"execution\" is not key=name.");
}

}  // namespace
}  // namespace mtconnect
