// The bridge's counters as metric families.
#include "mqtt/bridge_metrics.h"

#include <atomic>
#include <cstdint>

namespace mqtt {

namespace {

double Value(const std::atomic<uint64_t>& counter) { return static_cast<double>(counter.load()); }

}  // namespace

void RegisterBridgeMetrics(metrics::Registry& registry, const BridgeCounters& counters,
                           const std::string& broker) {
  const std::vector<std::string> by_broker{"broker"};
  metrics::Family& messages =
      registry.Counter("mqtt_messages_total", "Messages received from the broker.", by_broker);
  metrics::Family& written = registry.Counter(
      "mqtt_commands_written_total", "Commands committed to the MDC log.", by_broker);
  metrics::Family& duplicates = registry.Counter(
      "mqtt_commands_duplicate_total", "Commands delivered again and not appended.", by_broker);
  metrics::Family& refused = registry.Counter(
      "mqtt_messages_refused_total", "Messages whose commands the intake rules refused.", by_broker);
  metrics::Family& malformed = registry.Counter(
      "mqtt_malformed_payloads_total", "Payloads that could not be read.", by_broker);
  metrics::Family& reconnects = registry.Counter(
      "mqtt_reconnects_total", "Connections to the broker made again after a loss.", by_broker);
  metrics::Family& connected =
      registry.Gauge("mqtt_connected", "1 while the bridge is connected to the broker.", by_broker);
  registry.AddScrapeHook([&, broker](metrics::Registry&) {
    const metrics::LabelValues label{broker};
    messages.Set(label, Value(counters.messages));
    written.Set(label, Value(counters.commands_written));
    duplicates.Set(label, Value(counters.duplicates));
    refused.Set(label, Value(counters.refused));
    malformed.Set(label, Value(counters.malformed));
    reconnects.Set(label, Value(counters.reconnects));
    connected.Set(label, counters.connected.load() != 0 ? 1 : 0);
  });
}

}  // namespace mqtt
