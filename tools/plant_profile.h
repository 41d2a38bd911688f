// PlantProfile: what a simulated plant is made of (its machines with the
// standard cycle time of each part they run, operators, jobs, codes) and the
// rhythm of its days (lot sizes, setup lengths, how close cycles come to
// their standard, crew changes with their breaks, unplanned stops and the odd
// long wait for material). PlantSimulator plays it; a profile is a plain
// value, so a test or a caller changes one figure without touching the rest.
//
// Plant time is in milliseconds since the start of a run, which is midnight
// of the plant's first day; times of day are milliseconds since midnight.
#ifndef VOLTRANE_TOOLS_PLANT_PROFILE_H_
#define VOLTRANE_TOOLS_PLANT_PROFILE_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace plant_time {
inline constexpr int64_t kSecond = 1000;
inline constexpr int64_t kMinute = 60 * kSecond;
inline constexpr int64_t kHour = 60 * kMinute;
inline constexpr int64_t kDay = 24 * kHour;
}  // namespace plant_time

// A length drawn evenly between its two ends (both included).
struct TimeSpan {
  int64_t min_ms = 0;
  int64_t max_ms = 0;
};

struct SimulatedMachine {
  std::string number;  // MACHINE_NUMBER
  // Part number -> standard cycle time in minutes (T_SFC_MACHINE_PPH.CYCLE_TIME).
  std::map<std::string, double> standard_minutes;
  double cycle_minutes = 5.0;  // the standard of a part the map does not name

  double StandardMinutes(const std::string& part) const;
};

struct SimulatedJob {
  std::string number;
  std::vector<std::string> parts;  // run in this order
};

struct PlantRhythm {
  int min_lot = 30;  // parts made per part change
  int max_lot = 300;
  TimeSpan setup{15 * plant_time::kMinute, 60 * plant_time::kMinute};
  int min_cycle_percent = 95;  // a cycle's length against the part's standard
  int max_cycle_percent = 120;
  TimeSpan load_unload{5 * plant_time::kSecond, 30 * plant_time::kSecond};
  int scrap_percent = 2;  // of the finished cycles
  int event_percent = 2;  // cycles preceded by a door or coolant event

  // The crews change at these times of day (ascending); each crew takes one
  // or two breaks of `break_ms` as a user downtime with `break_code`, the
  // machine standing meanwhile.
  std::vector<int64_t> crew_changes{6 * plant_time::kHour, 14 * plant_time::kHour,
                                    22 * plant_time::kHour};
  std::string break_code = "200";
  int64_t break_ms = 30 * plant_time::kMinute;

  // Unplanned machine downtimes (the profile's machine downtime codes): one
  // after every `stop_interval` of plant time, each `stop_length` long.
  TimeSpan stop_interval{2 * plant_time::kHour, 6 * plant_time::kHour};
  TimeSpan stop_length{4 * plant_time::kMinute, 20 * plant_time::kMinute};

  // Before a lot's setup, now and then the machine waits for its material.
  std::string material_wait_code = "100";
  int material_wait_percent = 12;
  TimeSpan material_wait{40 * plant_time::kMinute, 150 * plant_time::kMinute};

  // Serial-numbered pieces: every cycle starts the serial number of its
  // piece first. The machines work in pairs in profile order (first and
  // second, third and fourth, ...): the first of a pair begins piece n as
  // "SN-<its number>-<n>", the second starts the same serial number for its
  // own n-th cycle, so each piece moves from one machine to the other, and
  // ends it after the count. A machine left without a partner numbers its
  // own pieces. Off, the stream holds no serial numbers.
  bool serial_numbers = false;
};

// The master data the stream names; the plant must know them for the
// commands to be recorded against them.
struct PlantProfile {
  std::vector<SimulatedMachine> machines;
  std::vector<std::string> users;
  std::vector<SimulatedJob> jobs;
  std::vector<std::string> machine_downtime_codes;  // the unplanned stops
  std::vector<std::string> scrap_codes;
  int32_t door_open_type_code = 0;
  int32_t coolant_alarm_type_code = 20;
  int64_t heartbeat_interval_ms = 5 * plant_time::kMinute;
  PlantRhythm rhythm;
};

// The demo plant of schema/demo_plant.sql: machines 101, 102, 201, 202 and
// 301, each with a standard cycle time for every part of the demo jobs, its
// operators, jobs, codes and the two custom commands "Door Open" (type 0)
// and "Coolant Alarm" (type 20).
PlantProfile DemoPlantProfile();

#endif  // VOLTRANE_TOOLS_PLANT_PROFILE_H_
