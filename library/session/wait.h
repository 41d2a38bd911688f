// WaitMilliseconds: the library's wait. Polls the clock every 250 ms until the
// whole seconds elapsed are no longer below ms / 1000, so its resolution is
// one second. Every retry rule of the library waits through it, on the clock
// its object was given, so tests replay the rules without real time passing.
#ifndef VOLTRANE_LIBRARY_WAIT_H_
#define VOLTRANE_LIBRARY_WAIT_H_

#include <cstdint>

#include "dbaccess/clock.h"

namespace korvex7::internal {

inline constexpr int64_t kWaitPollMilliseconds = 250;

void WaitMilliseconds(dbaccess::Clock& clock, int64_t milliseconds);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_WAIT_H_
