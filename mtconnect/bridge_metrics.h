// The MTConnect bridge's metrics, per machine: messages read (SHDR lines,
// agent documents), commands written and refused, malformed lines,
// reconnects, and whether the machine's source is connected now.
//
// MachineStatus is the plain struct a machine's thread counts into (atomics,
// so the scrape reads it from another thread); BridgeMetrics registers the
// families once and copies every machine's struct into them at each scrape.
// The same shape serves any bridge that keeps its counters in a struct.
// Thread rule: a machine's thread writes its MachineStatus; any thread scrapes.
#ifndef VOLTRANE_MTCONNECT_BRIDGE_METRICS_H_
#define VOLTRANE_MTCONNECT_BRIDGE_METRICS_H_

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "metrics/metric_registry.h"

namespace mtconnect {

struct MachineStatus {
  std::atomic<uint64_t> messages{0};
  std::atomic<uint64_t> commands{0};
  std::atomic<uint64_t> failed_commands{0};
  std::atomic<uint64_t> malformed{0};
  std::atomic<uint64_t> reconnects{0};
  std::atomic<bool> connected{false};
  std::atomic<bool> was_connected{false};  // a later connection is a reconnect

  // The source connected (true) or lost its connection (false).
  void SetConnected(bool now_connected);
};

class BridgeMetrics {
 public:
  explicit BridgeMetrics(metrics::Registry& registry);

  // The machine's struct, created on first use; valid for the metrics' life.
  // Call before the machines' threads start.
  MachineStatus& ForMachine(const std::string& machine_number);

 private:
  void Copy();

  metrics::Family& messages_;
  metrics::Family& commands_;
  metrics::Family& failed_;
  metrics::Family& malformed_;
  metrics::Family& reconnects_;
  metrics::Family& connected_;
  std::map<std::string, std::unique_ptr<MachineStatus>> machines_;
};

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_BRIDGE_METRICS_H_
