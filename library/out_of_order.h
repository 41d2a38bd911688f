// The text and error number with which the shift handling refuses a log row
// older than what its machine has already recorded; the processing loop then
// removes the row from the log.
#ifndef VOLTRANE_LIBRARY_OUT_OF_ORDER_H_
#define VOLTRANE_LIBRARY_OUT_OF_ORDER_H_

#include <cstdint>

inline constexpr int32_t kErrOutOfOrder = 10001;
inline constexpr const char* kOutOfOrderText =
    "HandleExpiredShifts: Error log entry is older than latest previously processed, throwing "
    "it out";

#endif  // VOLTRANE_LIBRARY_OUT_OF_ORDER_H_
