// The MQTT bridge's settings: the broker and the session, the command topic
// prefix, and the Sparkplug B devices with their machines and mappings.
// From the command line or a TOML file (packaging/mqtt.toml.example shows
// every key):
//
//   broker = "127.0.0.1:1883"
//   client_id = "voltrane-mdc"
//   prefix = "voltrane"                 # command topics <prefix>/<machine>/commands
//   [[sparkplug]]
//   group = "Plant1"
//   node = "Edge1"
//   device = "Lathe1"                   # left out: the node itself is the machine
//   machine = "101"
//   metrics = { execution = "Execution", part_count = "PartCount" }
//   downtime_code = "190"               # while the device is dead
#ifndef VOLTRANE_MQTT_BRIDGE_CONFIG_H_
#define VOLTRANE_MQTT_BRIDGE_CONFIG_H_

#include <chrono>
#include <string>
#include <vector>

#include "mqtt/broker_connection.h"
#include "mtconnect/observation_mapper.h"

namespace mqtt {

struct SparkplugDeviceConfig {
  std::string group;
  std::string node;
  std::string device;  // "" for the node itself
  std::string machine_number;
  mtconnect::MappingOptions mapping;  // item names are metric names
};

struct BridgeConfig {
  BrokerAddress broker;
  std::string client_id;
  std::string prefix = "voltrane";
  std::string username;
  std::string password_file;  // its first line is the password
  int keepalive_seconds = 30;
  std::chrono::milliseconds reconnect_min{1000};
  std::chrono::milliseconds reconnect_max{60000};
  std::vector<SparkplugDeviceConfig> sparkplug;
};

// False with a message naming the file and the key at fault.
bool LoadBridgeConfig(const std::string& path, BridgeConfig& config, std::string& message);

// A client id, a readable CA file when one is named, and devices named
// once each, with a machine.
bool CheckBridgeConfig(const BridgeConfig& config, std::string& message);

// The password from the password file ("" without one); false with a message.
bool ReadPassword(const BridgeConfig& config, std::string& password, std::string& message);

}  // namespace mqtt

#endif  // VOLTRANE_MQTT_BRIDGE_CONFIG_H_
