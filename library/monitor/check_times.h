// The times the periodic checks of the processing last ran, kept in the
// database so that a new run (after a restart or a crash) continues their
// schedule instead of starting it afresh: one row of T_SFC_MDC_CHECK_TIME per
// check code, with the time it last ran. The row is written inside the
// processing's batch transaction, so it commits with the rows whose
// processing ran the check and rolls back with them. `schema init` creates
// the table; on a database without it the monitor creates it on first need,
// on every kind, with the schema helpers. A member of a collector group
// keeps them with its partitions instead (check_scope.h).
#ifndef VOLTRANE_LIBRARY_MONITOR_CHECK_TIMES_H_
#define VOLTRANE_LIBRARY_MONITOR_CHECK_TIMES_H_

#include <cstdint>
#include <string>
#include <vector>

namespace korvex7::internal {

inline constexpr const char* kCheckTimeTable = "T_SFC_MDC_CHECK_TIME";

namespace checkcode {
inline constexpr int32_t kDowntimeTimeouts = 1;
}  // namespace checkcode

// The statements that create the table on a database kind (one, or three on Oracle).
std::vector<std::string> CheckTimeCreateStatements(int32_t lDatabaseType);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_MONITOR_CHECK_TIMES_H_
