// The decision table of the cycle status lock, state by state, for every
// command kind: the setup and teardown levels, the downtime lock values
// (only their two low bits count) and ends while idle.
#include "library/handlers/cycle_status_lock_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace korvex7::internal;  // the library's internals

namespace {

struct Command {
  int32_t kind;
  std::string name;
  std::string label;
};

const std::vector<Command>& AllCommands() {
  static const std::vector<Command> commands = {
      {kLockKindSetupStart, "?", "setup start"},
      {kLockKindCycleStart, "?", "cycle start"},
      {kLockKindDowntimeStart, "?", "downtime start"},
      {kLockKindTeardownStart, "?", "teardown start"},
      {kLockKindEnd, kSetupEndName, "setup end"},
      {kLockKindEnd, kCycleEndName, "cycle end"},
      {kLockKindEnd, kDowntimeEndName, "downtime end"},
      {kLockKindEnd, kTeardownEndName, "teardown end"},
  };
  return commands;
}

// The labels of the commands the state locks.
std::vector<std::string> Locked(const CycleStatusLockState& state) {
  std::vector<std::string> locked;
  for (const Command& command : AllCommands()) {
    if (IsLockedByRules(state, command.kind, command.name)) locked.push_back(command.label);
  }
  return locked;
}

using Labels = std::vector<std::string>;

TEST(CycleStatusLockRulesTest, IdleIgnoresEveryEndAndNoStart) {
  EXPECT_EQ(Locked({0, 2, 2, 3}),
            (Labels{"setup end", "cycle end", "downtime end", "teardown end"}));
  // An end of a name no handler uses is not one of the ignored ends.
  EXPECT_FALSE(IsLockedByRules({0, 0, 0, {}}, kLockKindEnd, "?"));
}

TEST(CycleStatusLockRulesTest, SetupLevels) {
  EXPECT_EQ(Locked({1, 0, 0, {}}), Labels{});
  EXPECT_EQ(Locked({1, 1, 0, {}}),
            (Labels{"cycle start", "setup end", "cycle end", "downtime end", "teardown end"}));
  EXPECT_EQ(Locked({1, 2, 0, {}}),
            (Labels{"setup start", "cycle start", "downtime start", "teardown start", "cycle end",
                    "downtime end", "teardown end"}));
}

TEST(CycleStatusLockRulesTest, TeardownLevelsUseTheirOwnEnd) {
  EXPECT_EQ(Locked({4, 2, 0, {}}), Labels{});
  EXPECT_EQ(Locked({4, 0, 1, {}}),
            (Labels{"cycle start", "setup end", "cycle end", "downtime end", "teardown end"}));
  EXPECT_EQ(Locked({4, 0, 2, {}}),
            (Labels{"setup start", "cycle start", "downtime start", "teardown start", "setup end",
                    "cycle end", "downtime end"}));
}

TEST(CycleStatusLockRulesTest, ADowntimeStartDuringSetupOrTeardownFollowsItsCode) {
  // Lock value 2 or 3 keeps a setup from being interrupted; only 3 a teardown.
  for (int32_t value : {2, 3, 6, 7, 122}) {
    EXPECT_TRUE(IsLockedByRules({1, 0, 0, value}, kLockKindDowntimeStart, "?")) << value;
  }
  for (int32_t value : {0, 1, 5, 121}) {
    EXPECT_FALSE(IsLockedByRules({1, 0, 0, value}, kLockKindDowntimeStart, "?")) << value;
  }
  EXPECT_FALSE(IsLockedByRules({4, 0, 0, 2}, kLockKindDowntimeStart, "?"));
  EXPECT_TRUE(IsLockedByRules({4, 0, 0, 3}, kLockKindDowntimeStart, "?"));
  // An unknown code locks nothing.
  EXPECT_FALSE(IsLockedByRules({1, 0, 0, {}}, kLockKindDowntimeStart, "?"));
}

TEST(CycleStatusLockRulesTest, DowntimeLockValuesByTheirLowBits) {
  EXPECT_EQ(Locked({3, 0, 0, 0}), Labels{});
  EXPECT_EQ(Locked({3, 0, 0, 1}), (Labels{"cycle start", "cycle end"}));
  EXPECT_EQ(Locked({3, 0, 0, 5}), (Labels{"cycle start", "cycle end"}));
  EXPECT_EQ(Locked({3, 0, 0, 121}), (Labels{"cycle start", "cycle end"}));
  EXPECT_EQ(Locked({3, 0, 0, 2}), Labels{"setup start"});
  EXPECT_EQ(Locked({3, 0, 0, 3}),
            (Labels{"setup start", "cycle start", "downtime start", "teardown start", "setup end",
                    "cycle end", "teardown end"}));
  EXPECT_EQ(Locked({3, 0, 0, 7}), Locked({3, 0, 0, 3}));
  // Down for an unknown code, nothing is locked.
  EXPECT_EQ(Locked({3, 2, 2, {}}), Labels{});
}

TEST(CycleStatusLockRulesTest, ACycleAndUnknownStatesLockNothing) {
  EXPECT_EQ(Locked({2, 2, 2, 3}), Labels{});
  EXPECT_EQ(Locked({-1, 2, 2, 3}), Labels{});
}

TEST(CycleStatusLockRulesTest, LevelsOutsideTheirRangeCountAsNone) {
  EXPECT_EQ(EffectiveLockLevel(7), 0);
  EXPECT_EQ(EffectiveLockLevel(-1), 0);
  EXPECT_EQ(EffectiveLockLevel(3), 0);
  EXPECT_EQ(EffectiveLockLevel(2), 2);
  EXPECT_EQ(EffectiveLockLevel(1), 1);
}

}  // namespace
