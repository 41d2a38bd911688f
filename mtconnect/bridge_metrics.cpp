// The bridge's per-machine counters and their families.
#include "mtconnect/bridge_metrics.h"

namespace mtconnect {

void MachineStatus::SetConnected(bool now_connected) {
  if (!now_connected) {
    connected = false;
    return;
  }
  // A source that starts again while connected (an agent's gap) has not reconnected.
  if (!connected.exchange(true) && was_connected.exchange(true)) ++reconnects;
}

BridgeMetrics::BridgeMetrics(metrics::Registry& registry)
    : messages_(registry.Counter("mtconnect_messages_total",
                                 "SHDR lines or agent documents read, by machine.", {"machine"})),
      commands_(registry.Counter("mtconnect_commands_written_total",
                                 "Commands written to the MDC log, by machine.", {"machine"})),
      failed_(registry.Counter("mtconnect_commands_refused_total",
                               "Commands the MDC log did not take, by machine.", {"machine"})),
      malformed_(registry.Counter("mtconnect_malformed_lines_total",
                                  "Malformed SHDR lines skipped, by machine.", {"machine"})),
      reconnects_(registry.Counter("mtconnect_reconnects_total",
                                   "Connections to the source made again, by machine.",
                                   {"machine"})),
      connected_(registry.Gauge("mtconnect_connected",
                                "1 while the machine's source is connected.", {"machine"})) {
  registry.AddScrapeHook([this](metrics::Registry&) { Copy(); });
}

MachineStatus& BridgeMetrics::ForMachine(const std::string& machine_number) {
  std::unique_ptr<MachineStatus>& status = machines_[machine_number];
  if (!status) status = std::make_unique<MachineStatus>();
  return *status;
}

void BridgeMetrics::Copy() {
  for (const auto& [number, status] : machines_) {
    const metrics::LabelValues machine{number};
    messages_.Set(machine, static_cast<double>(status->messages.load()));
    commands_.Set(machine, static_cast<double>(status->commands.load()));
    failed_.Set(machine, static_cast<double>(status->failed_commands.load()));
    malformed_.Set(machine, static_cast<double>(status->malformed.load()));
    reconnects_.Set(machine, static_cast<double>(status->reconnects.load()));
    connected_.Set(machine, status->connected.load() ? 1 : 0);
  }
}

}  // namespace mtconnect
