// The plant simulator without the command line: the stream is repeatable by
// seed and keeps every machine in a state a real machine could be in, and
// the run paces, bounds, stops and retries as told, on a manual clock.
#include "tools/plant_simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <set>
#include <stdexcept>
#include <vector>

#include "dbaccess/clock.h"
#include "library/handlers/handler_table.h"
#include "tools/simulation_run.h"

namespace {

constexpr int64_t kMinute = 60 * 1000;
constexpr int64_t kHour = 60 * kMinute;

std::vector<SimulatedCommand> Take(PlantSimulator& simulator, size_t count) {
  std::vector<SimulatedCommand> commands;
  for (size_t i = 0; i < count; ++i) commands.push_back(simulator.Next());
  return commands;
}

bool Same(const SimulatedCommand& a, const SimulatedCommand& b) {
  return a.at_ms == b.at_ms && a.machine_number == b.machine_number &&
         a.command_type_code == b.command_type_code && a.command_time_code == b.command_time_code &&
         a.param == b.param;
}

TEST(PlantSimulator, TheSameSeedGivesTheSameStreamAndAnotherSeedAnother) {
  PlantSimulator first(DemoPlantProfile(), 42);
  PlantSimulator second(DemoPlantProfile(), 42);
  PlantSimulator other(DemoPlantProfile(), 43);
  const auto a = Take(first, 3000);
  const auto b = Take(second, 3000);
  const auto c = Take(other, 3000);
  EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), Same));
  EXPECT_FALSE(std::equal(a.begin(), a.end(), c.begin(), Same));
}

TEST(PlantSimulator, AProfileWithoutMasterDataIsRefused) {
  PlantProfile no_machines = DemoPlantProfile();
  no_machines.machines.clear();
  EXPECT_THROW(PlantSimulator(no_machines, 1), std::invalid_argument);
  PlantProfile partless_job = DemoPlantProfile();
  partless_job.jobs.push_back({"J9", {}});
  EXPECT_THROW(PlantSimulator(partless_job, 1), std::invalid_argument);
}

// What one machine is doing, as its commands say; every command must be one
// the machine could send in that state.
struct MachineTrack {
  bool logged_on = false;
  std::string job;
  std::string part;
  bool in_setup = false;
  bool in_cycle = false;
  bool down = false;
  bool coolant_alarm = false;
  bool counted = true;  // the last finished cycle has its count
  int64_t cycle_started = 0;
  int64_t last_heartbeat = -1;
  int64_t logged_on_at = 0;
  int cycles = 0;
  int scrapped = 0;
  int downtimes = 0;
  int jobs = 0;
  int operator_changes = 0;
};

class StreamChecker {
 public:
  explicit StreamChecker(const PlantProfile& profile) : profile_(profile) {
    for (const SimulatedJob& job : profile.jobs) {
      parts_of_[job.number] = std::set<std::string>(job.parts.begin(), job.parts.end());
    }
  }

  void Check(const SimulatedCommand& c) {
    SCOPED_TRACE(c.machine_number + " at " + std::to_string(c.at_ms) + " type " +
                 std::to_string(c.command_type_code) + "/" + std::to_string(c.command_time_code) +
                 " '" + c.param + "'");
    MachineTrack& m = tracks_[c.machine_number];
    const bool start = c.command_time_code == 0;
    switch (c.command_type_code) {
      case commandtype::kHeartbeat:
        if (m.last_heartbeat >= 0) {
          EXPECT_EQ(c.at_ms - m.last_heartbeat, profile_.heartbeat_interval_ms);
        }
        m.last_heartbeat = c.at_ms;
        break;
      case commandtype::kLogon:
        EXPECT_NE(start, m.logged_on);
        if (start) {
          EXPECT_TRUE(Contains(profile_.users, c.param));
          if (m.logged_on_at > 0) ++m.operator_changes;
          m.logged_on_at = c.at_ms;
        } else {
          // An operator works about one shift.
          EXPECT_GE(c.at_ms - m.logged_on_at, profile_.operator_shift_ms);
          EXPECT_LT(c.at_ms - m.logged_on_at, profile_.operator_shift_ms + 2 * kHour);
        }
        m.logged_on = start;
        break;
      case commandtype::kJob:
        ExpectIdle(m);
        EXPECT_EQ(start, m.job.empty());
        if (start) {
          EXPECT_EQ(parts_of_.count(c.param), 1u);
        }
        m.job = start ? c.param : "";
        m.jobs += start;
        break;
      case commandtype::kPart:
        ExpectIdle(m);
        EXPECT_FALSE(m.job.empty());
        EXPECT_EQ(start, m.part.empty());
        if (start) {
          EXPECT_EQ(parts_of_[m.job].count(c.param), 1u);
        }
        m.part = start ? c.param : "";
        break;
      case commandtype::kSetup:
        EXPECT_FALSE(m.part.empty());
        EXPECT_NE(start, m.in_setup);
        EXPECT_FALSE(m.in_cycle || m.down);
        m.in_setup = start;
        break;
      case commandtype::kCycle:
        EXPECT_TRUE(m.logged_on);
        EXPECT_FALSE(m.part.empty());
        EXPECT_NE(start, m.in_cycle);
        EXPECT_FALSE(m.in_setup || m.down);
        if (start) {
          EXPECT_TRUE(m.counted);
          m.cycle_started = c.at_ms;
        } else {
          ExpectCycleLength(c, c.at_ms - m.cycle_started);
          m.counted = false;
          ++m.cycles;
        }
        m.in_cycle = start;
        break;
      case commandtype::kGoodPartCount:
      case commandtype::kScrappedPartCount:
        EXPECT_EQ(c.command_time_code, 2);
        EXPECT_FALSE(m.counted);
        m.counted = true;
        if (c.command_type_code == commandtype::kGoodPartCount) {
          EXPECT_EQ(c.param, "1");
        } else {
          ASSERT_EQ(c.param.substr(0, 2), "1.");
          EXPECT_TRUE(Contains(profile_.scrap_codes, c.param.substr(2)));
          ++m.scrapped;
        }
        break;
      case commandtype::kMachineDowntime:
        EXPECT_NE(start, m.down);
        EXPECT_FALSE(m.in_cycle || m.in_setup);
        if (start) {
          EXPECT_TRUE(Contains(profile_.machine_downtime_codes, c.param));
        }
        m.down = start;
        m.downtimes += start;
        break;
      default:
        if (c.command_type_code == profile_.door_open_type_code) {
          EXPECT_EQ(c.command_time_code, 2);
        } else {
          ASSERT_EQ(c.command_type_code, profile_.coolant_alarm_type_code);
          EXPECT_NE(start, m.coolant_alarm);
          m.coolant_alarm = start;
        }
        ++custom_events_;
    }
  }

  const std::map<std::string, MachineTrack>& tracks() const { return tracks_; }
  int custom_events() const { return custom_events_; }

 private:
  static bool Contains(const std::vector<std::string>& values, const std::string& value) {
    return std::find(values.begin(), values.end(), value) != values.end();
  }
  static void ExpectIdle(const MachineTrack& m) {
    EXPECT_FALSE(m.in_setup || m.in_cycle || m.down);
    EXPECT_TRUE(m.logged_on);
  }
  void ExpectCycleLength(const SimulatedCommand& c, int64_t length) {
    for (const SimulatedMachine& machine : profile_.machines) {
      if (machine.number != c.machine_number) continue;
      const double standard = machine.cycle_minutes * kMinute;
      EXPECT_GE(length, standard * 0.9 - 1);
      EXPECT_LE(length, standard * 1.1 + 1);
    }
  }

  const PlantProfile& profile_;
  std::map<std::string, std::set<std::string>> parts_of_;
  std::map<std::string, MachineTrack> tracks_;
  int custom_events_ = 0;
};

TEST(PlantSimulator, ThreeDaysOfEveryMachineMakeSense) {
  const PlantProfile profile = DemoPlantProfile();
  PlantSimulator simulator(profile, 7);
  StreamChecker checker(profile);
  int64_t last = 0;
  while (last < 72 * kHour && !testing::Test::HasFailure()) {
    const SimulatedCommand command = simulator.Next();
    ASSERT_GE(command.at_ms, last) << "the stream is in plant-time order";
    last = command.at_ms;
    checker.Check(command);
  }
  ASSERT_EQ(checker.tracks().size(), profile.machines.size());
  for (const auto& [number, track] : checker.tracks()) {
    SCOPED_TRACE(number);
    EXPECT_GE(track.operator_changes, 8);  // every eight hours, for three days
    EXPECT_GE(track.jobs, 2);
    EXPECT_GT(track.cycles, 100);
    // The odd downtime and scrap: some, but far fewer than cycles.
    EXPECT_GT(track.scrapped, 0);
    EXPECT_LT(track.scrapped, track.cycles / 5);
    EXPECT_GT(track.downtimes, 0);
    EXPECT_LT(track.downtimes, track.cycles / 5);
  }
  EXPECT_GT(checker.custom_events(), 10);
}

TEST(PlantSimulator, OnlyTheMachinesOfTheProfileAppear) {
  PlantProfile profile = DemoPlantProfile();
  profile.machines = {{"202", 12.0}};
  PlantSimulator simulator(profile, 3);
  for (const SimulatedCommand& command : Take(simulator, 500)) {
    EXPECT_EQ(command.machine_number, "202");
  }
}

// Appends into a list, noting the clock's reading at each.
class Appender {
 public:
  explicit Appender(dbaccess::Clock& clock_in)
      : clock(clock_in), start_ms(clock.Now().MillisecondsSinceEpoch()) {}

  dbaccess::Clock& clock;
  int64_t start_ms;
  std::vector<std::pair<SimulatedCommand, int64_t>> rows;
  int failures_left = 0;
  std::string failure_text = "database is locked";

  AppendFunction Function() {
    return [this](const SimulatedCommand& command, std::string& error) {
      if (failures_left != 0) {
        if (failures_left > 0) --failures_left;
        error = failure_text;
        return false;
      }
      rows.emplace_back(command, clock.Now().MillisecondsSinceEpoch() - start_ms);
      return true;
    };
  }
};

class SimulationRunTest : public testing::Test {
 protected:
  dbaccess::ManualClock clock_;
  std::atomic<bool> stop_{false};
  PlantSimulator simulator_{DemoPlantProfile(), 11};
  PlantSimulator twin_{DemoPlantProfile(), 11};  // the same stream, for comparison
  Appender appender_{clock_};
};

TEST_F(SimulationRunTest, EachCommandIsAppendedWhenItsAcceleratedTimeHasCome) {
  SimulationLimits limits;
  limits.speed = 60;
  limits.max_commands = 200;
  const SimulationResult result =
      SimulationRun(simulator_, clock_, stop_).Run(limits, appender_.Function());
  ASSERT_EQ(result.appended, 200);
  ASSERT_EQ(appender_.rows.size(), 200u);
  for (const auto& [command, appended_at] : appender_.rows) {
    EXPECT_TRUE(Same(command, twin_.Next()));
    EXPECT_EQ(appended_at, std::llround(command.at_ms / 60.0));
  }
  EXPECT_EQ(result.plant_ms, appender_.rows.back().first.at_ms);
  int64_t per_machine = 0;
  for (const auto& [number, count] : result.appended_per_machine) per_machine += count;
  EXPECT_EQ(per_machine, 200);
  EXPECT_FALSE(result.failed);
}

TEST_F(SimulationRunTest, TheDurationEndsTheRunWithoutAppendingWhatIsNotYetDue) {
  SimulationLimits limits;
  limits.speed = 120;
  limits.duration_ms = 90 * 1000;  // three hours of plant time
  const SimulationResult result =
      SimulationRun(simulator_, clock_, stop_).Run(limits, appender_.Function());
  EXPECT_EQ(result.elapsed_ms, 90 * 1000);
  ASSERT_FALSE(appender_.rows.empty());
  EXPECT_LE(appender_.rows.back().first.at_ms, 3 * kHour);
  // Everything due within the three hours was appended, and nothing else.
  int64_t due = 0;
  for (SimulatedCommand next = twin_.Next(); std::llround(next.at_ms / 120.0) < 90 * 1000;
       next = twin_.Next()) {
    ++due;
  }
  EXPECT_EQ(result.appended, due);
}

TEST_F(SimulationRunTest, ARaisedStopFlagEndsTheRunAfterTheCommandInHand) {
  SimulationLimits limits;
  limits.speed = 10;
  const SimulationResult result =
      SimulationRun(simulator_, clock_, stop_)
          .Run(limits, appender_.Function(), [&](const SimulatedCommand&) {
            if (appender_.rows.size() == 25) stop_ = true;
          });
  EXPECT_EQ(result.appended, 25);
  EXPECT_FALSE(result.failed);
}

// Raises the stop flag after a number of sleeps, as a signal would between them.
class StoppingClock : public dbaccess::ManualClock {
 public:
  StoppingClock(std::atomic<bool>& stop, int sleeps) : stop_(stop), sleeps_left_(sleeps) {}
  void SleepMilliseconds(int64_t ms) override {
    ManualClock::SleepMilliseconds(ms);
    if (--sleeps_left_ == 0) stop_ = true;
  }

 private:
  std::atomic<bool>& stop_;
  int sleeps_left_;
};

TEST_F(SimulationRunTest, AStopDuringALongWaitIsSeenWithinOneSlice) {
  StoppingClock clock(stop_, 3);
  SimulationLimits limits;  // real time: the first commands are minutes away
  const SimulationResult result =
      SimulationRun(simulator_, clock, stop_).Run(limits, [](auto&, auto&) { return true; });
  EXPECT_EQ(clock.sleep_count(), 3);
  EXPECT_LE(clock.slept_ms(), 300);
  EXPECT_FALSE(result.failed);
}

TEST_F(SimulationRunTest, ARefusedCommandIsTriedAgainASecondLater) {
  SimulationLimits limits;
  limits.speed = 1000000;
  limits.max_commands = 3;
  appender_.failures_left = 2;
  const SimulationResult result =
      SimulationRun(simulator_, clock_, stop_).Run(limits, appender_.Function());
  EXPECT_EQ(result.appended, 3);
  EXPECT_FALSE(result.failed);
  ASSERT_EQ(appender_.rows.size(), 3u);
  EXPECT_TRUE(Same(appender_.rows[0].first, twin_.Next()));  // the same command, not skipped
  EXPECT_GE(appender_.rows[0].second, 2000);
}

TEST_F(SimulationRunTest, ACommandRefusedThreeTimesEndsTheRunWithTheLibrarysText) {
  SimulationLimits limits;
  limits.speed = 1000000;
  limits.max_commands = 10;
  appender_.failures_left = -1;  // for ever
  appender_.failure_text = "No such machine: 101";
  int attempts = 0;
  const AppendFunction counting = [&](const SimulatedCommand& command, std::string& error) {
    ++attempts;
    return appender_.Function()(command, error);
  };
  const SimulationResult result = SimulationRun(simulator_, clock_, stop_).Run(limits, counting);
  EXPECT_TRUE(result.failed);
  EXPECT_EQ(result.error, "No such machine: 101");
  EXPECT_EQ(result.appended, 0);
  EXPECT_EQ(attempts, 3);
}

TEST_F(SimulationRunTest, AStopWhileRetryingIsNoFailure) {
  StoppingClock clock(stop_, 2);
  SimulationLimits limits;
  limits.speed = 1000000;
  appender_.failures_left = -1;
  const SimulationResult result =
      SimulationRun(simulator_, clock, stop_).Run(limits, appender_.Function());
  EXPECT_FALSE(result.failed);
  EXPECT_EQ(result.appended, 0);
}

}  // namespace
