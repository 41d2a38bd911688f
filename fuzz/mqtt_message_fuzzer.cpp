// Fuzzes what a broker hands the MQTT bridge: the bytes as a Sparkplug B
// payload (decoded, each metric's value read by its datatype, then mapped as
// a device's BIRTH and DATA) and as a command topic's JSON body. Any bytes
// must give a value or a refusal, never a crash, a hang or an exception.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mqtt/command_message.h"
#include "mqtt/sparkplug_device.h"
#include "mqtt/sparkplug_payload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const auto payload = mqtt::DecodeSparkplugPayload(bytes)) {
    for (const mqtt::SparkplugMetric& metric : payload->metrics) {
      (void)mqtt::MetricText(metric, metric.datatype);
    }
    mqtt::SparkplugDeviceConfig config{"G", "N", "D", "101", {}};
    config.mapping.items.execution = "Execution";
    config.mapping.items.part_count = "PartCount";
    config.mapping.downtime_code = "190";
    mqtt::SparkplugDevice device(config);
    size_t unknown = 0;
    device.OnMessage(mqtt::SparkplugKind::kBirth, *payload, 0, unknown);
    device.OnMessage(mqtt::SparkplugKind::kData, *payload, 0, unknown);
    device.OnMessage(mqtt::SparkplugKind::kDeath, *payload, 0, unknown);
    if (mqtt::SparkplugClientId(config, *payload, 0, payload->metrics.size()).size() >
        korvex7::kClientIdCharacters) {
      std::abort();
    }
  }
  std::vector<korvex7::Command> commands;
  std::string error;
  const bool parsed = mqtt::ParseCommandMessage("101", bytes, commands, error);
  if (!parsed && error.empty()) std::abort();
  if (parsed && commands.empty()) std::abort();
  for (const korvex7::Command& command : commands) {
    if (command.machine_number != "101") std::abort();
  }
  return 0;
}
