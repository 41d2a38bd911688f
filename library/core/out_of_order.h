// A log row older than what its machine has already recorded. The shift
// handling refuses such a row by throwing OutOfOrderRow; the handler that
// ran into it reports the text like any other failure, and the processing
// loop, told by the type and never by the text, removes the row from the log
// into the diagnostic log.
#ifndef VOLTRANE_LIBRARY_CORE_OUT_OF_ORDER_H_
#define VOLTRANE_LIBRARY_CORE_OUT_OF_ORDER_H_

#include <cstdint>

#include "library/com_error.h"

namespace korvex7::internal {

inline constexpr int32_t kErrOutOfOrder = 10001;
inline constexpr const char* kOutOfOrderText =
    "HandleExpiredShifts: Error log entry is older than latest previously processed, throwing "
    "it out";

class OutOfOrderRow : public ComError {
 public:
  OutOfOrderRow() : ComError(kErrOutOfOrder, "HandleExpiredShifts", kOutOfOrderText) {}
};

// Whether the exception being handled is an OutOfOrderRow. Must be called
// inside a catch block.
bool CaughtOutOfOrderRow();

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_CORE_OUT_OF_ORDER_H_
