// MessageRouter: what the bridge does with one message from the broker. A
// command topic's commands, or a Sparkplug device's mapped commands, are
// committed through the message writer; Handle then says the message may be
// acknowledged. Retained command messages are passed over. Malformed payloads are counted and
// reported (the first 20 one by one), refused messages reported; both are acknowledged, as sending
// them again changes nothing. Only a stop while the database fails leaves a
// message unacknowledged. Not thread-safe: the bridge's thread.
#ifndef VOLTRANE_MQTT_MESSAGE_ROUTER_H_
#define VOLTRANE_MQTT_MESSAGE_ROUTER_H_

#include <map>
#include <string>
#include <vector>

#include "mqtt/bridge_config.h"
#include "mqtt/bridge_counters.h"
#include "mqtt/message_writer.h"
#include "mqtt/mqtt_packet.h"
#include "mqtt/sparkplug_device.h"
#include "mtconnect/reporter.h"

namespace mqtt {

class MessageRouter {
 public:
  static constexpr uint64_t kMalformedReportLimit = 20;

  MessageRouter(const BridgeConfig& config, MessageWriter& writer, mtconnect::Reporter& reporter,
                BridgeCounters& counters);

  // The subscription filters: command topics and the devices' groups.
  std::vector<std::string> Filters() const;

  // False only when the message must stay unacknowledged.
  bool Handle(const Message& message, int64_t received_utc_ms);

 private:
  bool HandleCommands(const std::string& machine, const Message& message);
  bool HandleSparkplug(const Message& message, int64_t received_utc_ms);
  bool Commit(const std::string& what, const std::vector<korvex7::Command>& commands,
              korvex7::TimeRule time_rule);
  void Malformed(const std::string& topic, const std::string& why);

  const BridgeConfig& config_;
  MessageWriter& writer_;
  mtconnect::Reporter& reporter_;
  BridgeCounters& counters_;
  std::map<std::string, SparkplugDevice> devices_;  // by group/node/device
};

}  // namespace mqtt

#endif  // VOLTRANE_MQTT_MESSAGE_ROUTER_H_
