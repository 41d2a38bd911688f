// The bridge's counters, kept while it runs and readable from any thread
// (a metrics endpoint reads them beside the bridge's own thread).
#ifndef VOLTRANE_MQTT_BRIDGE_COUNTERS_H_
#define VOLTRANE_MQTT_BRIDGE_COUNTERS_H_

#include <atomic>
#include <cstdint>

namespace mqtt {

struct BridgeCounters {
  std::atomic<uint64_t> messages{0};          // received from the broker
  std::atomic<uint64_t> commands_written{0};  // rows committed to the log
  std::atomic<uint64_t> duplicates{0};        // commands delivered again, not appended
  std::atomic<uint64_t> refused{0};           // messages the rules refused
  std::atomic<uint64_t> malformed{0};         // payloads that could not be read
  std::atomic<uint64_t> reconnects{0};        // connections made again after a loss
  std::atomic<int> connected{0};              // 1 while connected to the broker
};

}  // namespace mqtt

#endif  // VOLTRANE_MQTT_BRIDGE_COUNTERS_H_
