// The type test behind the processing loop's out-of-order handling.
#include "library/core/out_of_order.h"

namespace korvex7::internal {

bool CaughtOutOfOrderRow() {
  try {
    throw;
  } catch (const OutOfOrderRow&) {
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace korvex7::internal
