// The MQTT bridge's pure pieces: command topics and their bodies, Sparkplug
// topics, payloads and values by datatype, a device's aliases and states,
// the packets' length field, the packaged configuration example, and the
// bridge's counters as metrics.
#include <gtest/gtest.h>

#include "metrics/metric_registry.h"
#include "mqtt/bridge_config.h"
#include "mqtt/bridge_metrics.h"
#include "mqtt/command_message.h"
#include "mqtt/mqtt_packet.h"
#include "mqtt/sparkplug_device.h"
#include "mqtt/sparkplug_payload.h"
#include "mqtt/sparkplug_topic.h"
#include "tests/support/promtool_check.h"
#include "web/command_body.h"

namespace {

using mqtt::SparkplugMetric;
using mqtt::SparkplugPayload;
using mqtt::SparkplugType;
using mqtt::ValueKind;

TEST(MqttCommandTopics, NameTheMachineBetweenPrefixAndCommands) {
  EXPECT_EQ(mqtt::CommandTopicMachine("voltrane", "voltrane/101/commands"), "101");
  EXPECT_EQ(mqtt::CommandTopicMachine("plant/a", "plant/a/7/commands"), "7");
  for (const char* topic : {"voltrane//commands", "voltrane/1/2/commands", "other/101/commands",
                            "voltrane/101/command", "voltranex/101/commands"}) {
    EXPECT_FALSE(mqtt::CommandTopicMachine("voltrane", topic).has_value()) << topic;
  }
}

TEST(MqttCommandTopics, BodyTakesTheTopicMachineAndTheClientFields) {
  std::vector<korvex7::Command> commands;
  std::string error;
  ASSERT_TRUE(
      mqtt::ParseCommandMessage("101",
                                R"([{"type": 9, "id": "t-1", "time": "2026-01-05T07:00:00.250"},
          {"machine": "101", "type": 9, "time_code": 1}])",
                                commands, error))
      << error;
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].machine_number, "101");
  EXPECT_EQ(commands[0].client_id, "t-1");
  EXPECT_EQ(commands[0].time->ToText(), "2026-01-05 07:00:00.250");
  EXPECT_FALSE(commands[1].time.has_value());
  EXPECT_EQ(commands[1].time_code, 1);

  EXPECT_FALSE(
      mqtt::ParseCommandMessage("101", R"({"type": 9, "time": "yesterday"})", commands, error));
  EXPECT_EQ(error, "field \"time\" must be a local time YYYY-MM-DDTHH:MM:SS with optional .mmm");
  EXPECT_FALSE(mqtt::ParseCommandMessage("101", R"({"type": 9, "id": 5})", commands, error));
  EXPECT_EQ(error, "field \"id\" must be a string");
}

TEST(MqttCommandTopics, HttpBodyStillNeedsTheMachine) {
  EXPECT_TRUE(web::ParseCommandBody(R"({"type": 9})", web::BodyLimits{}).error.has_value());
}

TEST(SparkplugTopics, DeviceAndNodeMessages) {
  const auto device = mqtt::ParseSparkplugTopic("spBv1.0/Plant1/DDATA/Edge1/Lathe1");
  ASSERT_TRUE(device.has_value());
  EXPECT_EQ(device->group, "Plant1");
  EXPECT_EQ(device->kind, mqtt::SparkplugKind::kData);
  EXPECT_EQ(device->node, "Edge1");
  EXPECT_EQ(device->device, "Lathe1");
  const auto node = mqtt::ParseSparkplugTopic("spBv1.0/Plant1/NDEATH/Edge1");
  ASSERT_TRUE(node.has_value());
  EXPECT_EQ(node->kind, mqtt::SparkplugKind::kDeath);
  EXPECT_EQ(node->device, "");
  EXPECT_EQ(mqtt::ParseSparkplugTopic("spBv1.0/Plant1/NCMD/Edge1")->kind,
            mqtt::SparkplugKind::kOther);
  for (const char* topic :
       {"spBv1.0/Plant1/DDATA/Edge1", "spBv1.0/Plant1/NDATA/Edge1/Lathe1", "spBv1.0/STATE/host",
        "spAv1.0/Plant1/NDATA/Edge1", "spBv1.0//NDATA/Edge1"}) {
    EXPECT_FALSE(mqtt::ParseSparkplugTopic(topic).has_value()) << topic;
  }
}

SparkplugMetric Metric(const std::string& name, uint64_t alias, uint32_t datatype, ValueKind kind,
                       uint64_t integer, const std::string& text = "") {
  SparkplugMetric metric;
  metric.name = name;
  metric.alias = alias;
  metric.datatype = datatype;
  metric.kind = kind;
  metric.integer = integer;
  metric.text = text;
  return metric;
}

TEST(SparkplugPayloads, RoundTripAndValuesByDatatype) {
  SparkplugPayload payload{1767596400000,
                           7,
                           {Metric("Temp", 1, 1, ValueKind::kInt, 0xFF),
                            Metric("Count", 2, 7, ValueKind::kInt, 0xFFFFFFFF),
                            Metric("Big", 3, 4, ValueKind::kLong, ~uint64_t{0}),
                            Metric("Mode", 4, 12, ValueKind::kString, 0, "AUTO")}};
  payload.metrics.push_back(Metric("", 5, 0, ValueKind::kBoolean, 0));
  payload.metrics.back().boolean = true;
  payload.metrics.push_back(Metric("Gone", 6, 3, ValueKind::kNone, 0));
  payload.metrics.back().is_null = true;
  const auto decoded = mqtt::DecodeSparkplugPayload(mqtt::EncodeSparkplugPayload(payload));
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->timestamp, payload.timestamp);
  EXPECT_EQ(decoded->seq, 7u);
  ASSERT_EQ(decoded->metrics.size(), 6u);
  std::vector<std::string> texts;
  for (const SparkplugMetric& metric : decoded->metrics) {
    texts.push_back(mqtt::MetricText(metric, metric.datatype).value_or("none"));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"-1", "4294967295", "-1", "AUTO", "true", "none"}));
  // The same wire value read with the type a BIRTH gave.
  EXPECT_EQ(mqtt::MetricText(decoded->metrics[0], static_cast<uint32_t>(SparkplugType::kUInt8)),
            "255");
  EXPECT_FALSE(mqtt::DecodeSparkplugPayload("\x0a\xff\xff").has_value());
}

mqtt::SparkplugDeviceConfig NodeMachine() {
  mqtt::SparkplugDeviceConfig config{"G", "Press", "", "301", {}};
  config.mapping.items.availability = "Ready";
  config.mapping.downtime_code = "190";
  return config;
}

TEST(SparkplugDevices, AliasesComeFromTheLatestBirthAndBooleansMeanStates) {
  mqtt::SparkplugDevice device(NodeMachine());
  size_t unknown = 0;
  EXPECT_TRUE(device
                  .OnMessage(mqtt::SparkplugKind::kData,
                             {1000, 1, {Metric("", 9, 0, ValueKind::kInt, 1)}}, 0, unknown)
                  .empty());
  EXPECT_EQ(unknown, 1u);
  SparkplugMetric ready = Metric("Ready", 2, 11, ValueKind::kBoolean, 0);
  ready.boolean = true;
  device.OnMessage(mqtt::SparkplugKind::kBirth, {2000, 0, {ready}}, 0, unknown);
  SparkplugMetric not_ready = Metric("", 2, 0, ValueKind::kBoolean, 0);
  const auto down =
      device.OnMessage(mqtt::SparkplugKind::kData, {3000, 1, {not_ready}}, 0, unknown);
  EXPECT_EQ(down, (std::vector<mtconnect::LogCommand>{
                      {mtconnect::kMachineDowntimeCommand, mtconnect::kStartCode, "190", 3000}}));
  // Dead while down already: nothing new; the BIRTH that reports it ready ends it.
  EXPECT_TRUE(device.OnMessage(mqtt::SparkplugKind::kDeath, {4000, 2, {}}, 0, unknown).empty());
  EXPECT_EQ(device.OnMessage(mqtt::SparkplugKind::kBirth, {5000, 0, {ready}}, 0, unknown),
            (std::vector<mtconnect::LogCommand>{
                {mtconnect::kMachineDowntimeCommand, mtconnect::kEndCode, "", 5000}}));
  EXPECT_EQ(unknown, 1u);
}

TEST(SparkplugDevices, ClientIdsAreShortAndTellMessagesApart) {
  mqtt::SparkplugDeviceConfig config = NodeMachine();
  config.node = std::string(200, 'n');
  const std::string id = mqtt::SparkplugClientId(config, {1, 255, {}}, 1767596400000, 3);
  EXPECT_LE(id.size(), korvex7::kClientIdCharacters);
  EXPECT_NE(id, mqtt::SparkplugClientId(config, {1, 254, {}}, 1767596400000, 3));
  EXPECT_NE(id, mqtt::SparkplugClientId(config, {1, 255, {}}, 1767596400000, 2));
  config.device = "other";
  EXPECT_NE(id, mqtt::SparkplugClientId(config, {1, 255, {}}, 1767596400000, 3));
}

TEST(MqttPackets, RemainingLengthAndPublish) {
  EXPECT_EQ(mqtt::DecodeRemainingLength("\x7f")->value, 127u);
  const auto two = mqtt::DecodeRemainingLength("\x80\x01");
  EXPECT_EQ(two->value, 128u);
  EXPECT_EQ(two->bytes, 2u);
  EXPECT_FALSE(mqtt::DecodeRemainingLength("\x80").has_value());
  EXPECT_EQ(mqtt::DecodeRemainingLength("\xff\xff\xff\xff\x01")->bytes, 0u);
  const std::string packet = mqtt::EncodePublish("a/b", "body", 1, 513);
  const auto length = mqtt::DecodeRemainingLength(std::string_view(packet).substr(1));
  const auto message = mqtt::DecodePublish(static_cast<uint8_t>(packet[0]) & 0x0F,
                                           std::string_view(packet).substr(1 + length->bytes));
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->topic, "a/b");
  EXPECT_EQ(message->payload, "body");
  EXPECT_EQ(message->packet_id, 513);
  EXPECT_FALSE(message->retained);
  const std::string kept = mqtt::EncodePublish("a", "", 0, 0, true);
  EXPECT_TRUE(
      mqtt::DecodePublish(static_cast<uint8_t>(kept[0]) & 0x0F, std::string_view(kept).substr(2))
          ->retained);
  EXPECT_FALSE(mqtt::DecodePublish(0x02, std::string_view("\x00\x09"
                                                          "ab",
                                                          4))
                   .has_value());
}

TEST(MqttConfiguration, ThePackagedExampleLoadsAndMistakesAreNamed) {
  mqtt::BridgeConfig config;
  std::string message;
  ASSERT_TRUE(mqtt::LoadBridgeConfig(
      std::string(VOLTRANE_SOURCE_DIR) + "/packaging/mqtt.toml.example", config, message))
      << message;
  EXPECT_TRUE(mqtt::CheckBridgeConfig(config, message)) << message;
  ASSERT_EQ(config.sparkplug.size(), 2u);
  EXPECT_EQ(config.sparkplug[0].mapping.items.part_count, "PartCount");
  EXPECT_EQ(config.sparkplug[1].device, "");

  mqtt::BridgeConfig empty;
  EXPECT_FALSE(mqtt::CheckBridgeConfig(empty, message));
  EXPECT_NE(message.find("client id"), std::string::npos) << message;
  empty.client_id = "x";
  empty.sparkplug.push_back(NodeMachine());
  empty.sparkplug.push_back(NodeMachine());
  EXPECT_FALSE(mqtt::CheckBridgeConfig(empty, message));
  EXPECT_EQ(message, "sparkplug device 2: named twice");
  empty.sparkplug.pop_back();
  empty.broker.ca_file = "/nonexistent/ca.crt";
  EXPECT_FALSE(mqtt::CheckBridgeConfig(empty, message));
  EXPECT_EQ(message, "cannot read the CA file /nonexistent/ca.crt");
}

}  // namespace

TEST(MqttMetrics, EveryScrapeReadsTheCountersAsTheyAreNow) {
  mqtt::BridgeCounters counters;
  metrics::Registry registry;
  mqtt::RegisterBridgeMetrics(registry, counters, "127.0.0.1:1883");
  counters.messages = 7;
  counters.malformed = 2;
  counters.connected = 1;
  std::string text = registry.Render();
  EXPECT_EQ(testsupport::PromtoolProblems(text), "");
  EXPECT_NE(text.find("voltrane_mqtt_messages_total{broker=\"127.0.0.1:1883\"} 7\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("voltrane_mqtt_connected{broker=\"127.0.0.1:1883\"} 1\n"), std::string::npos);
  counters.connected = 0;
  ++counters.reconnects;
  text = registry.Render();
  EXPECT_NE(text.find("voltrane_mqtt_connected{broker=\"127.0.0.1:1883\"} 0\n"), std::string::npos);
  EXPECT_NE(text.find("voltrane_mqtt_reconnects_total{broker=\"127.0.0.1:1883\"} 1\n"),
            std::string::npos);
  EXPECT_NE(text.find("voltrane_mqtt_malformed_payloads_total{broker=\"127.0.0.1:1883\"} 2\n"),
            std::string::npos);
}
