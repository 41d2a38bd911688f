#include "library/session/wait.h"

namespace korvex7::internal {

void WaitMilliseconds(dbaccess::Clock& clock, int64_t milliseconds) {
  dbaccess::WaitWholeSeconds(clock, milliseconds, kWaitPollMilliseconds);
}

}  // namespace korvex7::internal
