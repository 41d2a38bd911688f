// The plant simulator without the command line: the stream is repeatable by
// seed, keeps every machine in a state a real machine could be in and has a
// plant's rhythm (lots, setups, cycles against their standard, breaks, stops,
// material waits; every part run has its standard in the demo plant), and
// the run paces, bounds, stops and retries as told, on a manual clock.
#include "tools/plant_simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "dbaccess/clock.h"
#include "dbaccess/connection.h"
#include "dbaccess/recordset.h"
#include "library/dispatch/command_types.h"
#include "tests/support/shop_floor_db.h"
#include "tools/simulation_run.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using plant_time::kDay;
using plant_time::kHour;
using plant_time::kMinute;

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
  bool on_break = false;
  bool coolant_alarm = false;
  bool counted = true;  // the last finished cycle has its count
  int64_t cycle_started = 0;
  int64_t setup_started = 0;
  int64_t down_started = 0;
  std::string down_code;
  int64_t break_started = 0;
  int lot_cycles = -1;  // cycles since the lot's setup; -1 before the first
  int64_t last_heartbeat = -1;
  int64_t logged_on_at = 0;
  int cycles = 0;
  int scrapped = 0;
  int downtimes = 0;
  int jobs = 0;
  int operator_changes = 0;
  int64_t stopped_ms = 0;  // in unplanned machine downtimes
  std::vector<int> lots;   // cycles of every finished lot
  std::vector<int64_t> setups_ms;
  std::vector<int64_t> material_waits_ms;
  std::map<int64_t, int> breaks_per_crew;  // by the plant time its crew began
  std::set<std::string> parts_run;
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
          // The crew changes at its time, or once the episode in hand is over.
          EXPECT_LT(c.at_ms - CrewBegan(c.at_ms), 4 * kHour);
          EXPECT_LE(m.logged_on_at, CrewBegan(c.at_ms));
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
          m.parts_run.insert(c.param);
        } else if (m.lot_cycles >= 0) {
          m.lots.push_back(m.lot_cycles);
        }
        m.part = start ? c.param : "";
        break;
      case commandtype::kSetup:
        EXPECT_FALSE(m.part.empty());
        EXPECT_NE(start, m.in_setup);
        EXPECT_FALSE(m.in_cycle || m.down || m.on_break);
        if (start) {
          m.setup_started = c.at_ms;
        } else {
          m.setups_ms.push_back(c.at_ms - m.setup_started);
          m.lot_cycles = 0;
        }
        m.in_setup = start;
        break;
      case commandtype::kCycle:
        EXPECT_TRUE(m.logged_on);
        EXPECT_FALSE(m.part.empty());
        EXPECT_NE(start, m.in_cycle);
        EXPECT_FALSE(m.in_setup || m.down || m.on_break);
        if (start) {
          EXPECT_TRUE(m.counted);
          m.cycle_started = c.at_ms;
        } else {
          ExpectCycleLength(c, m.part, c.at_ms - m.cycle_started);
          m.counted = false;
          ++m.cycles;
          ++m.lot_cycles;
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
        EXPECT_FALSE(m.in_cycle || m.in_setup || m.on_break);
        if (start) {
          EXPECT_TRUE(Contains(profile_.machine_downtime_codes, c.param) ||
                      c.param == profile_.rhythm.material_wait_code)
              << c.param;
          m.down_started = c.at_ms;
          m.down_code = c.param;
        } else if (m.down_code == profile_.rhythm.material_wait_code) {
          m.material_waits_ms.push_back(c.at_ms - m.down_started);
        } else {
          m.stopped_ms += c.at_ms - m.down_started;
          ++m.downtimes;
        }
        m.down = start;
        break;
      case commandtype::kUserDowntime:
        // A break: the machine stands for its whole length.
        EXPECT_NE(start, m.on_break);
        EXPECT_FALSE(m.in_cycle || m.in_setup || m.down);
        if (start) {
          EXPECT_EQ(c.param, profile_.rhythm.break_code);
          m.break_started = c.at_ms;
          ++m.breaks_per_crew[CrewBegan(c.at_ms)];
        } else {
          EXPECT_EQ(c.at_ms - m.break_started, profile_.rhythm.break_ms);
        }
        m.on_break = start;
        break;
      case commandtype::kPartSerialNo:
        // A piece starts just before its cycle and ends after its count.
        EXPECT_TRUE(m.logged_on);
        EXPECT_FALSE(m.part.empty());
        EXPECT_FALSE(m.in_cycle || m.in_setup);
        if (!start) {
          EXPECT_TRUE(m.counted);
        }
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
    EXPECT_FALSE(m.in_setup || m.in_cycle || m.down || m.on_break);
    EXPECT_TRUE(m.logged_on);
  }
  void ExpectCycleLength(const SimulatedCommand& c, const std::string& part, int64_t length) {
    for (const SimulatedMachine& machine : profile_.machines) {
      if (machine.number != c.machine_number) continue;
      EXPECT_EQ(machine.standard_minutes.count(part), 1u) << "no standard for " << part;
      const double standard = machine.StandardMinutes(part) * kMinute;
      EXPECT_GE(length, standard * profile_.rhythm.min_cycle_percent / 100 - 1);
      EXPECT_LE(length, standard * profile_.rhythm.max_cycle_percent / 100 + 1);
    }
  }
  // The plant time at which the crew at work at `at` began (plant time 0 is midnight).
  int64_t CrewBegan(int64_t at) const {
    const int64_t midnight = at / kDay * kDay;
    int64_t began = midnight - kDay + profile_.rhythm.crew_changes.back();
    for (const int64_t change : profile_.rhythm.crew_changes) {
      if (midnight + change <= at) began = midnight + change;
    }
    return began;
  }

  const PlantProfile& profile_;
  std::map<std::string, std::set<std::string>> parts_of_;
  std::map<std::string, MachineTrack> tracks_;
  int custom_events_ = 0;
};

// A week of the demo plant, every command checked as it comes.
class PlantWeekTest : public testing::Test {
 protected:
  static constexpr int64_t kWeek = 7 * kDay;

  static void SetUpTestSuite() {
    checker_ = new StreamChecker(profile_);
    PlantSimulator simulator(profile_, 7);
    int64_t last = 0;
    while (last < kWeek && !testing::Test::HasFailure()) {
      const SimulatedCommand command = simulator.Next();
      ASSERT_GE(command.at_ms, last) << "the stream is in plant-time order";
      last = command.at_ms;
      checker_->Check(command);
    }
  }
  static void TearDownTestSuite() {
    delete checker_;
    checker_ = nullptr;
  }

  static inline const PlantProfile profile_ = DemoPlantProfile();
  static inline StreamChecker* checker_ = nullptr;
};

TEST_F(PlantWeekTest, EveryMachineRunsJobsWithItsCrewsAndTheOddEvent) {
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(checker_->tracks().size(), profile_.machines.size());
  for (const auto& [number, track] : checker_->tracks()) {
    SCOPED_TRACE(number);
    // Three crews a day; the week's last change may come after its end.
    EXPECT_GE(track.operator_changes, 3 * 7 - 1);
    EXPECT_LE(track.operator_changes, 3 * 7);
    EXPECT_GE(track.jobs, 2);
    // The odd scrap: some, but few against the cycles.
    EXPECT_GT(track.scrapped, 0);
    EXPECT_LT(track.scrapped, track.cycles / 20);
  }
  EXPECT_GT(checker_->custom_events(), 10);
}

TEST_F(PlantWeekTest, LotsAndSetupsHaveAPlantsSizes) {
  for (const auto& [number, track] : checker_->tracks()) {
    SCOPED_TRACE(number);
    ASSERT_FALSE(track.lots.empty());
    for (const int lot : track.lots) {
      EXPECT_GE(lot, profile_.rhythm.min_lot);
      EXPECT_LE(lot, profile_.rhythm.max_lot);
    }
    for (const int64_t setup : track.setups_ms) {
      EXPECT_GE(setup, 15 * kMinute);
      EXPECT_LE(setup, 60 * kMinute);
    }
  }
}

TEST_F(PlantWeekTest, EveryCrewTakesOneOrTwoBreaks) {
  for (const auto& [number, track] : checker_->tracks()) {
    SCOPED_TRACE(number);
    // The crews of the week after the first, which began before the run.
    for (int64_t began = 6 * kHour; began + 8 * kHour <= kWeek; began += 8 * kHour) {
      const auto found = track.breaks_per_crew.find(began);
      ASSERT_NE(found, track.breaks_per_crew.end()) << "the crew of " << began / kHour << " h";
      EXPECT_GE(found->second, 1);
      EXPECT_LE(found->second, 2);
    }
  }
}

TEST_F(PlantWeekTest, UnplannedStopsTakeAFewPercentAndMaterialSometimesKeepsAMachineWaiting) {
  size_t material_waits = 0;
  for (const auto& [number, track] : checker_->tracks()) {
    SCOPED_TRACE(number);
    EXPECT_GT(track.downtimes, 10);
    const double share = static_cast<double>(track.stopped_ms) / kWeek;
    EXPECT_GE(share, 0.03);
    EXPECT_LE(share, 0.08);
    for (const int64_t wait : track.material_waits_ms) EXPECT_GE(wait, 40 * kMinute);
    material_waits += track.material_waits_ms.size();
  }
  EXPECT_GE(material_waits, 1u);
}

// What the demo plant's master data says of the parts the week ran: each
// has the same standard on its machine as the profile (ExpectCycleLength
// checked that the profile names it).
TEST_F(PlantWeekTest, EveryPartRunHasItsStandardInTheDemoPlant) {
  for (const std::string& kind : testsupport::AvailableKinds()) {
    SCOPED_TRACE(kind);
    const testsupport::TestDatabase database = testsupport::CreateShopFloorDatabase(kind, true);
    auto connection = std::make_shared<dbaccess::Connection>();
    connection->Open(database.connection_string);
    for (const SimulatedMachine& machine : profile_.machines) {
      for (const std::string& part : checker_->tracks().at(machine.number).parts_run) {
        SCOPED_TRACE(machine.number + " " + part);
        dbaccess::Recordset rs;
        rs.Open(
            "select pph.CYCLE_TIME from T_SFC_MACHINE_PPH pph join T_SFC_MACHINE m on "
            "m.MACHINE_ID = pph.MACHINE_ID join T_SFC_PART p on p.PART_ID = pph.PART_ID "
            "where m.MACHINE_NUMBER = '" +
                machine.number + "' and p.PART_NUMBER = '" + part + "'",
            connection);
        ASSERT_FALSE(rs.Eof());
        EXPECT_NEAR(rs.Fields(size_t{0}).Value().ToDouble(), machine.StandardMinutes(part), 1e-6);
      }
    }
    connection->Close();
    testsupport::DropTestDatabase(database);
  }
}

TEST(PlantSimulator, OnlyTheMachinesOfTheProfileAppear) {
  PlantProfile profile = DemoPlantProfile();
  profile.machines.resize(1);
  profile.machines[0].number = "202";
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

// Serial-numbered pieces: every cycle is preceded by its piece's serial
// start, the second machine of each pair works the first's pieces in the
// first's order and ends each, and every machine stays in a state a real
// one could be in.
TEST(PlantSimulator, SerialNumberedPiecesMoveFromTheFirstMachineOfAPairToTheSecond) {
  PlantProfile profile = DemoPlantProfile();  // 101 and 102, 201 and 202, 301 alone
  profile.rhythm.serial_numbers = true;
  PlantSimulator simulator(profile, 5);
  const auto serial = Take(simulator, 6000);

  std::map<std::string, std::vector<std::string>> begun;  // serial starts by machine
  std::map<std::string, std::string> running;             // by machine, "" none
  std::map<std::string, int> ends;
  std::map<std::string, bool> piece_due;  // a serial start waits for its cycle
  for (const SimulatedCommand& c : serial) {
    SCOPED_TRACE(c.machine_number + " at " + std::to_string(c.at_ms));
    if (c.command_type_code == commandtype::kHeartbeat) continue;
    const bool due = std::exchange(piece_due[c.machine_number], false);
    if (c.command_type_code == commandtype::kCycle && c.command_time_code == 0) {
      EXPECT_TRUE(due) << "a cycle without its piece";
    }
    if (c.command_type_code == commandtype::kPartSerialNo) {
      if (c.command_time_code == 0) {
        begun[c.machine_number].push_back(c.param);
        running[c.machine_number] = c.param;
        piece_due[c.machine_number] = true;
      } else {
        EXPECT_EQ(c.command_time_code, 1);
        EXPECT_FALSE(running[c.machine_number].empty());
        running[c.machine_number].clear();
        ++ends[c.machine_number];
      }
    }
  }
  // Each machine's first pieces; the second of a pair repeats the first's.
  ASSERT_GE(begun["101"].size(), 3u);
  ASSERT_GE(begun["102"].size(), 3u);
  EXPECT_EQ(begun["101"][0], "SN-101-1");
  EXPECT_EQ(begun["101"][2], "SN-101-3");
  for (size_t n = 0; n < begun["102"].size() && n < begun["101"].size(); ++n) {
    EXPECT_EQ(begun["102"][n], begun["101"][n]);
  }
  ASSERT_FALSE(begun["202"].empty());
  EXPECT_EQ(begun["202"][0], "SN-201-1");
  ASSERT_FALSE(begun["301"].empty());
  EXPECT_EQ(begun["301"][0], "SN-301-1");
  // Only the second of a pair, or a machine alone, finishes pieces.
  EXPECT_EQ(ends.count("101") + ends.count("201"), 0u);
  EXPECT_GT(ends["102"], 0);
  EXPECT_GT(ends["301"], 0);

  // Every command still one the machine could send in its state.
  StreamChecker checker(profile);
  for (const SimulatedCommand& c : serial) checker.Check(c);
  EXPECT_FALSE(testing::Test::HasFailure());
}
