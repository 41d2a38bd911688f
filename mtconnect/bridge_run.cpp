#include "mtconnect/bridge_run.h"

#include "mtconnect/machine_bridge.h"

namespace mtconnect {

bool RunMachine(const MachineConfig& machine, CommandSink& sink, Reporter& reporter,
                const StopSignal& stop, MachineStatus* status) {
  MachineBridge bridge(machine.machine_number, machine.mapping, sink, reporter);
  bridge.SetStatus(status);
  switch (machine.source) {
    case SourceKind::kReplay:
      return RunReplay(machine.replay, bridge, stop);
    case SourceKind::kAdapter:
      RunAdapter(machine.adapter, bridge, stop);
      return true;
    case SourceKind::kAgent:
      RunAgent(machine.agent, bridge, stop);
      return true;
    case SourceKind::kNone:
      break;
  }
  bridge.Error("no source");
  return false;
}

}  // namespace mtconnect
