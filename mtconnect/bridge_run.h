// Runs one configured machine: its source feeds its bridge until the source
// ends (a replayed file) or the stop signal. Called on the machine's own
// thread; the sink and the reporter are the caller's.
#ifndef VOLTRANE_MTCONNECT_BRIDGE_RUN_H_
#define VOLTRANE_MTCONNECT_BRIDGE_RUN_H_

#include "mtconnect/bridge_config.h"
#include "mtconnect/bridge_metrics.h"
#include "mtconnect/command_sink.h"
#include "mtconnect/reporter.h"
#include "mtconnect/stop_signal.h"

namespace mtconnect {

// False when the source could not be read at all (a missing replay file).
// `status`, when given, counts for the metrics and outlives the run.
bool RunMachine(const MachineConfig& machine, CommandSink& sink, Reporter& reporter,
                const StopSignal& stop, MachineStatus* status = nullptr);

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_BRIDGE_RUN_H_
