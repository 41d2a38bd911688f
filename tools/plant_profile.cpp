// The demo plant's profile, and a machine's standard for a part.
#include "tools/plant_profile.h"

double SimulatedMachine::StandardMinutes(const std::string& part) const {
  const auto found = standard_minutes.find(part);
  return found == standard_minutes.end() ? cycle_minutes : found->second;
}

PlantProfile DemoPlantProfile() {
  PlantProfile profile;
  // The standard cycle times of T_SFC_MACHINE_PPH: every machine has one for
  // every part the demo jobs name, since it runs them all in turn.
  profile.machines = {
      {"101", {{"SHAFT-100", 2.5}, {"FLANGE-200", 3.5}, {"HOUSING-300", 8.0}}},
      {"102", {{"SHAFT-100", 3.0}, {"FLANGE-200", 4.0}, {"HOUSING-300", 9.0}}},
      {"201", {{"SHAFT-100", 5.0}, {"FLANGE-200", 4.25}, {"HOUSING-300", 10.0}}},
      {"202", {{"SHAFT-100", 6.0}, {"FLANGE-200", 5.0}, {"HOUSING-300", 12.0}}},
      {"301", {{"SHAFT-100", 6.0}, {"FLANGE-200", 4.5}, {"HOUSING-300", 7.0}}}};
  profile.users = {"jsmith", "mgarcia", "kobrien"};
  profile.jobs = {{"J1001", {"SHAFT-100", "FLANGE-200"}}, {"J1002", {"HOUSING-300"}}};
  // Tool change and machine fault; waiting for material (100) comes before a
  // lot, planned maintenance (120) is not part of a production day.
  profile.machine_downtime_codes = {"110", "130"};
  profile.scrap_codes = {"S1", "S2", "S3"};
  return profile;
}
