// What the plant board shows of each machine, read with plain queries on a
// read connection: the machine's status and since when (T_SFC_MACHINE), the
// operator, job, operation and part of its current machine data record (by
// key from the master data, else the unresolved text the record keeps), and
// the good and scrapped parts of the records of the current shift (same
// machine, chart date and shift as the current record). Reads only.
//
// Database failures escape as dbaccess::DbError. One thread per connection.
#ifndef VOLTRANE_WEB_MACHINE_BOARD_H_
#define VOLTRANE_WEB_MACHINE_BOARD_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"

namespace web {

struct MachineTile {
  int32_t machine_id = 0;
  std::string number;                       // MACHINE_NUMBER
  std::string name;                         // MACHINE_NAME
  std::optional<int32_t> status;            // 0 idle ... 4 teardown; none before any command
  std::optional<dbaccess::DateTime> since;  // STATUS_DATE
  std::string operator_name, job, operation, part;
  std::optional<int32_t> shift_id;
  std::string shift_name;
  std::optional<dbaccess::DateTime> chart_date;
  int64_t good = 0;
  int64_t scrap = 0;
  // OEE of the current shift and its factors; none when they cannot be computed.
  std::optional<double> oee;
  std::optional<double> availability;
  std::optional<double> performance;
  std::optional<double> quality;
};

struct MachineEvent {
  dbaccess::DateTime start;
  std::optional<dbaccess::DateTime> stop;  // none while open
  std::string command;                     // COMMAND_NAME, or the type code's name
  std::optional<int32_t> type_code;        // COMMAND_TYPE_CODE
  std::string param;
};

// "idle", "setup", "cycle", "downtime", "teardown", or "unknown".
std::string StatusName(std::optional<int32_t> status);

// Every machine, by machine number; only `machine_number` when given.
std::vector<MachineTile> ReadMachineTiles(const dbaccess::ConnectionPtr& reads, int32_t kind,
                                          const std::optional<std::string>& machine_number = {});

// The machine's latest events, newest first.
std::vector<MachineEvent> ReadRecentEvents(const dbaccess::ConnectionPtr& reads, int32_t kind,
                                           int32_t machine_id, int32_t count);

// Rows waiting in the MDC log.
int64_t ReadLogCount(const dbaccess::ConnectionPtr& reads);

// The database's current time.
dbaccess::DateTime ReadDatabaseNow(const dbaccess::ConnectionPtr& reads, int32_t kind);

}  // namespace web

#endif  // VOLTRANE_WEB_MACHINE_BOARD_H_
