#include "library/session/wait.h"

void WaitMilliseconds(dbaccess::Clock& clock, int64_t milliseconds) {
  dbaccess::WaitWholeSeconds(clock, milliseconds, kWaitPollMilliseconds);
}
