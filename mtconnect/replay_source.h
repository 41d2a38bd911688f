// Replay of a recorded SHDR file into a machine's bridge.
//
// At speed N the waits between lines follow the recorded time stamps divided
// by N; at 0 the file goes through as fast as the log takes it. A time stamp
// that goes back (a second recording begins) is passed on without a wait.
// Runs on the calling thread until the end of the file or a stop.
#ifndef VOLTRANE_MTCONNECT_REPLAY_SOURCE_H_
#define VOLTRANE_MTCONNECT_REPLAY_SOURCE_H_

#include <string>

#include "mtconnect/machine_bridge.h"
#include "mtconnect/stop_signal.h"

namespace mtconnect {

struct ReplayOptions {
  std::string path;
  double speed = 1.0;  // 0: no waits
};

// False (reported through the bridge) when the file cannot be read.
bool RunReplay(const ReplayOptions& options, MachineBridge& bridge, const StopSignal& stop);

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_REPLAY_SOURCE_H_
