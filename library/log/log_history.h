// The log history table T_SFC_MDC_LOG_HIST, which the library creates itself
// on first use: its creation statements per database kind. The copying and
// trimming are members of LogProcessor (log_history.cpp).
#ifndef VOLTRANE_LIBRARY_LOG_HISTORY_H_
#define VOLTRANE_LIBRARY_LOG_HISTORY_H_

#include <cstdint>
#include <string>
#include <vector>

namespace korvex7::internal {

inline constexpr const char* kLogHistoryTable = "T_SFC_MDC_LOG_HIST";
// Option 15: history retention in days; history is on from 1 day.
inline constexpr int32_t kLogHistoryDaysOption = 15;

// The table (on Oracle also its key sequence and trigger), in execution order.
std::vector<std::string> LogHistoryCreateStatements(int32_t lDatabaseType);
// The index on MDC_LOG_ID that also carries TIME_STAMP.
std::string LogHistoryIndexStatement(int32_t lDatabaseType);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_LOG_HISTORY_H_
