// SparkplugDevice: one Sparkplug device (or edge node) that is a machine.
// Its BIRTH names the metrics and their aliases and datatypes; its DATA
// metrics, named or by alias only, become observations for the MTConnect
// bridge's observation mapper, so the rules are the same (a rising part
// count is good parts, a new program a part start, ...). A metric's time is
// its own timestamp, else the payload's; metrics are mapped in time order,
// so historical ones sent late land where they belong.
//
// DEATH starts the machine's configured downtime at its timestamp (the
// payload's, else the moment it arrived) by reporting the availability
// metric UNAVAILABLE; the next BIRTH reports it AVAILABLE at its own time.
// Values a BIRTH repeats are no change. Not thread-safe.
#ifndef VOLTRANE_MQTT_SPARKPLUG_DEVICE_H_
#define VOLTRANE_MQTT_SPARKPLUG_DEVICE_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "mqtt/bridge_config.h"
#include "mqtt/sparkplug_payload.h"
#include "mqtt/sparkplug_topic.h"
#include "mtconnect/log_command.h"
#include "mtconnect/observation_mapper.h"

namespace mqtt {

class SparkplugDevice {
 public:
  explicit SparkplugDevice(const SparkplugDeviceConfig& config);

  const SparkplugDeviceConfig& config() const { return config_; }

  // The commands one message causes, in time order. `unknown_aliases` counts
  // DATA metrics whose alias no BIRTH named.
  std::vector<mtconnect::LogCommand> OnMessage(SparkplugKind kind, const SparkplugPayload& payload,
                                               int64_t received_utc_ms, size_t& unknown_aliases);

 private:
  struct Known {
    std::string name;
    uint32_t datatype = 0;
  };
  void Learn(const SparkplugPayload& payload);
  void MapMetrics(const SparkplugPayload& payload, int64_t received_utc_ms, size_t& unknown_aliases,
                  std::vector<mtconnect::LogCommand>& out);
  std::string AvailabilityItem() const;

  SparkplugDeviceConfig config_;
  mtconnect::ObservationMapper mapper_;
  std::map<uint64_t, Known> by_alias_;
  std::map<std::string, uint32_t> datatype_by_name_;
};

// The id the log keeps for a Sparkplug message's n-th command: device, seq
// and timestamp, short enough for a client id.
std::string SparkplugClientId(const SparkplugDeviceConfig& device, const SparkplugPayload& payload,
                              int64_t time_ms, size_t index);

}  // namespace mqtt

#endif  // VOLTRANE_MQTT_SPARKPLUG_DEVICE_H_
