// The MQTT bridge's metrics: its counters (bridge_counters.h) copied into
// Prometheus families at each scrape, labelled with the broker they come
// from, so several bridges on one Prometheus stay apart.
#ifndef VOLTRANE_MQTT_BRIDGE_METRICS_H_
#define VOLTRANE_MQTT_BRIDGE_METRICS_H_

#include <string>

#include "metrics/metric_registry.h"
#include "mqtt/bridge_counters.h"

namespace mqtt {

// Registers the families and a scrape hook reading `counters`, which must
// outlive `registry`'s scrapes.
void RegisterBridgeMetrics(metrics::Registry& registry, const BridgeCounters& counters,
                           const std::string& broker);

}  // namespace mqtt

#endif  // VOLTRANE_MQTT_BRIDGE_METRICS_H_
