// The record of log rows whose processing failed: one row of
// T_SFC_MDC_LOG_FAILURE per failing log row, with its machine, command, last
// error text, the database time of the last attempt and the number of
// attempts. A failing row stays in the log and is retried at every refill, so
// without this record its text would reach the caller's reports once per
// retry with nothing to say which row it is. The table is created on the
// first failure, on every kind, with the schema helpers; `korvex7 count
// --failing` reads it, and GetLastFailedLogItem (korvex7.h) takes the
// attempts of the row the last call failed on from it.
#ifndef VOLTRANE_LIBRARY_FAILED_ROWS_H_
#define VOLTRANE_LIBRARY_FAILED_ROWS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace korvex7::internal {

inline constexpr const char* kFailedRowsTable = "T_SFC_MDC_LOG_FAILURE";

// The statements that create the table on a database kind (one, or three on Oracle).
std::vector<std::string> FailedRowsCreateStatements(int32_t lDatabaseType);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_FAILED_ROWS_H_
