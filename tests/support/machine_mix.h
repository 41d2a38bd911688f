// A deterministic day of 20 machines as log rows: the demo plant's five
// machines and fifteen added ones, whose rounds of work interleave one second
// apart (per round a cycle start, a cycle end and a good count; now and then
// a scrap count, a machine downtime, a setup, a part or job change and a
// logon; the day runs across shift ends). The throughput benchmark drains it,
// and tests compare what the same rows leave behind under different settings.
#ifndef VOLTRANE_TESTS_SUPPORT_MACHINE_MIX_H_
#define VOLTRANE_TESTS_SUPPORT_MACHINE_MIX_H_

#include <cstdint>
#include <string>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"

namespace testsupport {

inline constexpr int kMixMachines = 20;

// Every how many rounds a machine sends the rarer commands. The defaults make
// the benchmark's realistic day; tests use short periods to see every
// command within a few hundred rows.
struct MixPeriods {
  int logon = 97, job = 151, part = 53, setup = 41, downtime = 29, scrap = 17;
};

// Adds the machines beyond the demo's five (numbers 401 to 415, group 3).
void AddMixMachines(dbaccess::Connection& connection);

// Appends the mix's log rows. Its clock runs on from call to call, so a
// database keeps one writer: rows appended later are never older than rows
// drained before.
class MixWriter {
 public:
  explicit MixWriter(int32_t kind, MixPeriods periods = {},
                     dbaccess::DateTime start = dbaccess::DateTime::FromParts(2026, 1, 5, 6, 0, 0))
      : kind_(kind), periods_(periods), stamp_(start) {}
  // Appends at least `rows` rows (the last round is written whole); returns how many.
  int Append(dbaccess::Connection& connection, int rows);

 private:
  std::string Values(int machine, int command, int time_code, const std::string& param) const;

  int32_t kind_;
  MixPeriods periods_;
  int64_t round_ = 1;
  dbaccess::DateTime stamp_;  // of the last row written
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_MACHINE_MIX_H_
