// The type test behind the processing loop's out-of-order handling.
#include "library/core/out_of_order.h"

bool CaughtOutOfOrderRow() {
  try {
    throw;
  } catch (const OutOfOrderRow&) {
    return true;
  } catch (...) {
    return false;
  }
}
