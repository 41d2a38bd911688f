#include "mqtt/bridge_config.h"

#include <fmt/format.h>
#include <toml++/toml.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include "mtconnect/adapter_source.h"

namespace mqtt {
namespace {

const std::set<std::string> kTopKeys = {
    "broker",        "client_id", "prefix",           "tls_ca_file",      "username",
    "password_file", "keepalive", "reconnect_min_ms", "reconnect_max_ms", "sparkplug"};
const std::set<std::string> kDeviceKeys = {
    "group",   "node",           "device",        "machine",
    "metrics", "program_starts", "downtime_code", "estop_downtime_code"};

bool Text(const toml::table& table, const char* key, std::string& value, std::string& message) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return true;
  if (node->is_integer() && std::string(key) == "machine") {
    value = std::to_string(node->as_integer()->get());
    return true;
  }
  if (!node->is_string()) {
    message = fmt::format("\"{}\" must be a text", key);
    return false;
  }
  value = node->as_string()->get();
  return true;
}

bool Positive(const toml::table& table, const char* key, int64_t& value, std::string& message) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return true;
  if (!node->is_integer() || node->as_integer()->get() <= 0) {
    message = fmt::format("\"{}\" must be a positive whole number", key);
    return false;
  }
  value = node->as_integer()->get();
  return true;
}

bool UnknownKey(const toml::table& table, const std::set<std::string>& keys, std::string& message) {
  for (const auto& [key, node] : table) {
    if (!keys.contains(std::string(key.str()))) {
      message = fmt::format("unknown key \"{}\"", key.str());
      return true;
    }
  }
  return false;
}

bool ReadMetrics(const toml::table& table, mtconnect::ItemNames& names, std::string& message) {
  const toml::node* node = table.get("metrics");
  if (node == nullptr) return true;
  if (!node->is_table()) {
    message = "\"metrics\" must be a table of role = \"metric name\"";
    return false;
  }
  for (const auto& [key, value] : *node->as_table()) {
    if (!value.is_string() || !names.Set(key.str(), value.as_string()->get())) {
      message = fmt::format("metric role \"{}\" is unknown or names no metric", key.str());
      return false;
    }
  }
  return true;
}

bool ReadDevice(const toml::table& table, SparkplugDeviceConfig& device, std::string& message) {
  if (UnknownKey(table, kDeviceKeys, message)) return false;
  std::string starts;
  if (!Text(table, "group", device.group, message) || !Text(table, "node", device.node, message) ||
      !Text(table, "device", device.device, message) ||
      !Text(table, "machine", device.machine_number, message) ||
      !Text(table, "program_starts", starts, message) ||
      !Text(table, "downtime_code", device.mapping.downtime_code, message) ||
      !Text(table, "estop_downtime_code", device.mapping.estop_downtime_code, message) ||
      !ReadMetrics(table, device.mapping.items, message)) {
    return false;
  }
  if (!starts.empty() && starts != "part" && starts != "job") {
    message = "\"program_starts\" must be \"part\" or \"job\"";
    return false;
  }
  device.mapping.program_starts_job = starts == "job";
  return true;
}

bool ReadTop(const toml::table& root, BridgeConfig& config, std::string& message) {
  if (UnknownKey(root, kTopKeys, message)) return false;
  std::string broker;
  int64_t keepalive = config.keepalive_seconds;
  int64_t reconnect_min = config.reconnect_min.count();
  int64_t reconnect_max = config.reconnect_max.count();
  if (!Text(root, "broker", broker, message) ||
      !Text(root, "client_id", config.client_id, message) ||
      !Text(root, "prefix", config.prefix, message) ||
      !Text(root, "tls_ca_file", config.broker.ca_file, message) ||
      !Text(root, "username", config.username, message) ||
      !Text(root, "password_file", config.password_file, message) ||
      !Positive(root, "keepalive", keepalive, message) ||
      !Positive(root, "reconnect_min_ms", reconnect_min, message) ||
      !Positive(root, "reconnect_max_ms", reconnect_max, message)) {
    return false;
  }
  if (!broker.empty()) {
    std::string port;
    if (!mtconnect::ParseHostPort(broker, config.broker.host, port, message)) return false;
    config.broker.port = static_cast<uint16_t>(std::stoi(port));
  }
  config.keepalive_seconds = static_cast<int>(std::min<int64_t>(keepalive, 65535));
  config.reconnect_min = std::chrono::milliseconds(reconnect_min);
  config.reconnect_max = std::chrono::milliseconds(reconnect_max);
  return true;
}

}  // namespace

bool LoadBridgeConfig(const std::string& path, BridgeConfig& config, std::string& message) {
  toml::table root;
  try {
    root = toml::parse_file(path);
  } catch (const toml::parse_error& error) {
    message = fmt::format("{}: {} (line {})", path, error.description(), error.source().begin.line);
    return false;
  }
  if (!ReadTop(root, config, message)) {
    message = fmt::format("{}: {}", path, message);
    return false;
  }
  const toml::node* list = root.get("sparkplug");
  if (list == nullptr) return true;
  if (!list->is_array()) {
    message = fmt::format("{}: devices are [[sparkplug]] tables", path);
    return false;
  }
  for (size_t i = 0; i < list->as_array()->size(); ++i) {
    const toml::table* table = (*list->as_array())[i].as_table();
    SparkplugDeviceConfig device;
    if (table == nullptr || !ReadDevice(*table, device, message)) {
      message = fmt::format("{}: sparkplug device {}: {}", path, i + 1,
                            table == nullptr ? "not a table" : message);
      return false;
    }
    config.sparkplug.push_back(std::move(device));
  }
  return true;
}

bool CheckBridgeConfig(const BridgeConfig& config, std::string& message) {
  if (config.client_id.empty()) {
    message =
        "a fixed client id is needed (--client-id or client_id): the broker keeps the "
        "session under it";
    return false;
  }
  if (config.prefix.empty() || config.prefix.find_first_of("+#") != std::string::npos) {
    message = "the prefix must be a topic level without + or #";
    return false;
  }
  if (!config.broker.ca_file.empty() && ::access(config.broker.ca_file.c_str(), R_OK) != 0) {
    message = fmt::format("cannot read the CA file {}", config.broker.ca_file);
    return false;
  }
  if (config.reconnect_min > config.reconnect_max) {
    message = "reconnect_min_ms must not exceed reconnect_max_ms";
    return false;
  }
  std::set<std::string> seen;
  for (size_t i = 0; i < config.sparkplug.size(); ++i) {
    const SparkplugDeviceConfig& device = config.sparkplug[i];
    const std::string name = fmt::format("sparkplug device {}", i + 1);
    if (device.group.empty() || device.node.empty() || device.machine_number.empty()) {
      message = name + ": group, node and machine are needed";
      return false;
    }
    if (!seen.insert(device.group + "/" + device.node + "/" + device.device).second) {
      message = name + ": named twice";
      return false;
    }
  }
  return true;
}

bool ReadPassword(const BridgeConfig& config, std::string& password, std::string& message) {
  password.clear();
  if (config.password_file.empty()) return true;
  std::ifstream in(config.password_file);
  if (!in || !std::getline(in, password)) {
    message = fmt::format("cannot read the password file {}", config.password_file);
    return false;
  }
  return true;
}

}  // namespace mqtt
