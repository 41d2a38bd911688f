// The log row being processed, as a value: what the processing loop read from
// the batch cache, or a synthetic command the heartbeat monitor posts. It is
// handed to the handlers through their handler table; nothing keeps it
// after its row is done. Plain data; safe to copy between threads.
#ifndef VOLTRANE_LIBRARY_CORE_LOG_ENTRY_H_
#define VOLTRANE_LIBRARY_CORE_LOG_ENTRY_H_

#include <cstdint>
#include <string>

#include "dbaccess/date_time.h"
#include "dbaccess/recordset.h"

namespace korvex7::internal {

// Where a machine sits in the plant: the keys every record of it carries.
struct MachineKeys {
  int32_t lDeptID = 0;
  int32_t lLocationID = 0;
  int32_t lGroupID = 0;
  int32_t lMachineID = 0;
};

struct LogEntry {
  int32_t lMDCLogID = -1;         // -1 for a synthetic command
  int32_t lCommandID = -1;        // -1: a refresh request (null COMMAND_ID)
  int32_t lCommandTimeCode = -1;  // 0 start, 1 end, 2 both; -1 when null
  MachineKeys machine;
  std::string strParam;
  dbaccess::DateTime dtTime;  // TIME_STAMP: the time of every step, never the clock
};

// The batch cache's current row; a null key column reads as -1, a null
// parameter as "". Throws DbError when a column cannot be read.
LogEntry ReadLogEntry(dbaccess::Recordset& rs);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_CORE_LOG_ENTRY_H_
