// The refresh request as the log processor sees the machine records: a log
// row without a command brings the machine's records up to its time. A
// narrow interface so that a loop test can stand in for the outcome (an
// out-of-order row) without the rest of the records. Processing thread only.
#ifndef VOLTRANE_LIBRARY_RECORDS_RECORD_REFRESH_H_
#define VOLTRANE_LIBRARY_RECORDS_RECORD_REFRESH_H_

#include "dbaccess/date_time.h"
#include "library/core/log_entry.h"

namespace korvex7::internal {

class RecordRefresh {
 public:
  virtual ~RecordRefresh() = default;
  // Closes and rolls the machine's records at every shift end up to dtTime,
  // in a transaction of its own that commits record by record. False when a
  // transaction could not be begun or kept; throws OutOfOrderRow for a time
  // older than the machine has recorded, ComError for any other failure.
  virtual bool RefreshRecords(const MachineKeys& machine, const dbaccess::DateTime& dtTime) = 0;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_RECORDS_RECORD_REFRESH_H_
