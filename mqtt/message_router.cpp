#include "mqtt/message_router.h"

#include <fmt/format.h>

#include <set>

#include "mqtt/command_message.h"
#include "mtconnect/utc_time.h"

namespace mqtt {
namespace {

std::string DeviceKey(const std::string& group, const std::string& node,
                      const std::string& device) {
  return group + "/" + node + "/" + device;
}

}  // namespace

MessageRouter::MessageRouter(const BridgeConfig& config, MessageWriter& writer,
                             mtconnect::Reporter& reporter, BridgeCounters& counters)
    : config_(config), writer_(writer), reporter_(reporter), counters_(counters) {
  for (const SparkplugDeviceConfig& device : config.sparkplug) {
    devices_.emplace(DeviceKey(device.group, device.node, device.device), SparkplugDevice(device));
  }
}

std::vector<std::string> MessageRouter::Filters() const {
  std::vector<std::string> filters{CommandTopicFilter(config_.prefix)};
  std::set<std::string> groups;
  for (const SparkplugDeviceConfig& device : config_.sparkplug) groups.insert(device.group);
  for (const std::string& group : groups) {
    filters.push_back(fmt::format("{}/{}/#", kSparkplugNamespace, group));
  }
  return filters;
}

bool MessageRouter::Handle(const Message& message, int64_t received_utc_ms) {
  ++counters_.messages;
  if (const auto machine = CommandTopicMachine(config_.prefix, message.topic)) {
    return HandleCommands(*machine, message);
  }
  if (message.topic.rfind(kSparkplugNamespace, 0) == 0) {
    return HandleSparkplug(message, received_utc_ms);
  }
  Malformed(message.topic, "a topic the bridge does not read");
  return true;
}

bool MessageRouter::HandleCommands(const std::string& machine, const Message& message) {
  // The broker sends a retained message again at every subscription.
  if (message.retained) {
    Malformed(message.topic, "a retained command (it would run again at every connection)");
    return true;
  }
  std::vector<korvex7::Command> commands;
  std::string error;
  if (!ParseCommandMessage(machine, message.payload, commands, error)) {
    Malformed(message.topic, error);
    return true;
  }
  return Commit(fmt::format("Machine {}", machine), commands, korvex7::TimeRule::kChecked);
}

bool MessageRouter::HandleSparkplug(const Message& message, int64_t received_utc_ms) {
  const std::optional<SparkplugTopic> topic = ParseSparkplugTopic(message.topic);
  if (!topic) {
    Malformed(message.topic, "not a Sparkplug B topic");
    return true;
  }
  const auto device = devices_.find(DeviceKey(topic->group, topic->node, topic->device));
  if (device == devices_.end() || topic->kind == SparkplugKind::kOther) return true;
  const std::optional<SparkplugPayload> payload = DecodeSparkplugPayload(message.payload);
  if (!payload) {
    Malformed(message.topic, "not a Sparkplug B payload");
    return true;
  }
  size_t unknown_aliases = 0;
  const std::vector<mtconnect::LogCommand> mapped =
      device->second.OnMessage(topic->kind, *payload, received_utc_ms, unknown_aliases);
  if (unknown_aliases > 0) {
    Malformed(message.topic, fmt::format("{} metrics by an alias no BIRTH named (a rebirth is "
                                         "due)",
                                         unknown_aliases));
  }
  const SparkplugDeviceConfig& config = device->second.config();
  const int64_t payload_ms =
      payload->timestamp ? static_cast<int64_t>(*payload->timestamp) : received_utc_ms;
  std::vector<korvex7::Command> commands;
  for (size_t i = 0; i < mapped.size(); ++i) {
    const mtconnect::LogCommand& command = mapped[i];
    commands.push_back({config.machine_number, command.type_code, command.param, command.time_code,
                        mtconnect::LocalWallClock(command.utc_ms),
                        SparkplugClientId(config, *payload, payload_ms, i)});
  }
  if (commands.empty()) return true;
  return Commit(fmt::format("Machine {}", config.machine_number), commands,
                korvex7::TimeRule::kAsGiven);
}

bool MessageRouter::Commit(const std::string& what, const std::vector<korvex7::Command>& commands,
                           korvex7::TimeRule time_rule) {
  const WriteOutcome outcome = writer_.Write(commands, time_rule);
  switch (outcome.status) {
    case WriteOutcome::Status::kStopped:
      return false;
    case WriteOutcome::Status::kRefused:
      ++counters_.refused;
      reporter_.Report(mtconnect::Severity::kError,
                       fmt::format("{}: message refused: {}", what, outcome.text));
      return true;
    case WriteOutcome::Status::kCommitted:
      counters_.commands_written += outcome.appended;
      counters_.duplicates += outcome.duplicates;
      return true;
  }
  return true;
}

void MessageRouter::Malformed(const std::string& topic, const std::string& why) {
  const uint64_t count = ++counters_.malformed;
  if (count <= kMalformedReportLimit) {
    reporter_.Report(mtconnect::Severity::kWarning,
                     fmt::format("Malformed message on {} skipped: {}", topic, why));
  }
  if (count == kMalformedReportLimit) {
    reporter_.Report(mtconnect::Severity::kWarning, "Further malformed messages are only counted");
  }
}

}  // namespace mqtt
