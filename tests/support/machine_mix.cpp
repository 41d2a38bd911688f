#include "tests/support/machine_mix.h"

#include <fmt/format.h>

#include <vector>

#include "dbaccess/dialect.h"

namespace testsupport {
namespace {

constexpr int kRowsPerInsert = 500;

struct LogRow {
  int command, time_code;
  std::string param;
};

// The rows one machine sends in its n-th round of work.
std::vector<LogRow> Round(const MixPeriods& every, int machine, int64_t n) {
  std::vector<LogRow> rows;
  if (n % every.logon == 0) rows.push_back({4, 0, n % 2 ? "jsmith" : "kobrien"});
  if (n % every.job == 0) rows.push_back({5, 0, n % 2 ? "J1001" : "J1002"});
  if (n % every.part == 0) rows.push_back({6, 0, (n + machine) % 2 ? "SHAFT-100" : "FLANGE-200"});
  if (n % every.setup == 0) {
    rows.push_back({8, 0, ""});
    rows.push_back({8, 1, ""});
  }
  if (n % every.downtime == 0) {
    rows.push_back({11, 0, n % 3 ? "100" : "120"});
    rows.push_back({11, 1, ""});
  }
  rows.push_back({9, 0, ""});
  rows.push_back({9, 1, ""});
  rows.push_back({13, 2, "1"});
  if (n % every.scrap == 0) rows.push_back({14, 2, "1.S2"});
  return rows;
}

const char* const kInsertHeader =
    "INSERT INTO T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
    "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) VALUES ";

}  // namespace

void AddMixMachines(dbaccess::Connection& connection) {
  for (int machine = 6; machine <= kMixMachines; ++machine) {
    connection.Execute(fmt::format(
        "INSERT INTO T_SFC_MACHINE (MACHINE_ID, MACHINE_NUMBER, MACHINE_NAME, GROUP_ID, "
        "STATUS_CODE) VALUES ({}, '{}', 'Bench', 3, 0)",
        machine, 395 + machine));
  }
}

int MixWriter::Append(dbaccess::Connection& connection, int rows) {
  std::string sql;
  int pending = 0;
  int written = 0;
  while (written < rows) {
    for (int machine = 1; machine <= kMixMachines; ++machine) {
      for (const LogRow& row : Round(periods_, machine, round_)) {
        stamp_ = stamp_.AddSeconds(1);
        sql += (pending == 0 ? kInsertHeader : ",") +
               Values(machine, row.command, row.time_code, row.param);
        ++written;
        if (++pending == kRowsPerInsert) {
          connection.Execute(sql);
          sql.clear();
          pending = 0;
        }
      }
    }
    ++round_;
  }
  if (pending > 0) connection.Execute(sql);
  return written;
}

std::string MixWriter::Values(int machine, int command, int time_code,
                              const std::string& param) const {
  const int group = machine <= 2 ? 1 : machine <= 4 ? 2 : 3;
  const int location = machine <= 4 ? 1 : 2;
  return fmt::format("({},1,{},{},{},{},{},'{}')", command, location, group, machine, time_code,
                     voltrane::DateTimeLiteral(kind_, stamp_), param);
}

}  // namespace testsupport
