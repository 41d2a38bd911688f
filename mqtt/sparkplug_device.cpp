#include "mqtt/sparkplug_device.h"

#include <fmt/format.h>

#include <algorithm>

namespace mqtt {
namespace {

struct Timed {
  int64_t utc_ms;
  mtconnect::Observation observation;
};

// Booleans stand for the states the mapper knows, per role.
std::string RoleValue(mtconnect::ItemRole role, const std::string& text) {
  if (text != "true" && text != "false") return text;
  const bool on = text == "true";
  switch (role) {
    case mtconnect::ItemRole::kExecution:
      return on ? "ACTIVE" : "READY";
    case mtconnect::ItemRole::kAvailability:
      return on ? "AVAILABLE" : "UNAVAILABLE";
    case mtconnect::ItemRole::kEstop:
      return on ? "TRIGGERED" : "ARMED";
    default:
      return text;
  }
}

uint64_t Fnv1a(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

SparkplugDevice::SparkplugDevice(const SparkplugDeviceConfig& config)
    : config_(config), mapper_(config.mapping) {}

std::string SparkplugDevice::AvailabilityItem() const { return config_.mapping.items.availability; }

std::vector<mtconnect::LogCommand> SparkplugDevice::OnMessage(SparkplugKind kind,
                                                              const SparkplugPayload& payload,
                                                              int64_t received_utc_ms,
                                                              size_t& unknown_aliases) {
  std::vector<mtconnect::LogCommand> out;
  const int64_t at = payload.timestamp ? static_cast<int64_t>(*payload.timestamp) : received_utc_ms;
  const auto availability = [&](const char* value) {
    for (auto& command : mapper_.Observe({at, AvailabilityItem(), value, ""}))
      out.push_back(command);
  };
  switch (kind) {
    case SparkplugKind::kBirth:
      by_alias_.clear();
      Learn(payload);
      availability("AVAILABLE");
      MapMetrics(payload, received_utc_ms, unknown_aliases, out);
      break;
    case SparkplugKind::kData:
      MapMetrics(payload, received_utc_ms, unknown_aliases, out);
      break;
    case SparkplugKind::kDeath:
      availability("UNAVAILABLE");
      break;
    case SparkplugKind::kOther:
      break;
  }
  return out;
}

void SparkplugDevice::Learn(const SparkplugPayload& payload) {
  for (const SparkplugMetric& metric : payload.metrics) {
    if (metric.name.empty()) continue;
    datatype_by_name_[metric.name] = metric.datatype;
    if (metric.alias) by_alias_[*metric.alias] = {metric.name, metric.datatype};
  }
}

void SparkplugDevice::MapMetrics(const SparkplugPayload& payload, int64_t received_utc_ms,
                                 size_t& unknown_aliases, std::vector<mtconnect::LogCommand>& out) {
  const int64_t payload_ms =
      payload.timestamp ? static_cast<int64_t>(*payload.timestamp) : received_utc_ms;
  std::vector<Timed> timed;
  for (const SparkplugMetric& metric : payload.metrics) {
    std::string name = metric.name;
    uint32_t datatype = metric.datatype;
    if (name.empty()) {
      const auto known = metric.alias ? by_alias_.find(*metric.alias) : by_alias_.end();
      if (known == by_alias_.end()) {
        ++unknown_aliases;
        continue;
      }
      name = known->second.name;
      if (datatype == 0) datatype = known->second.datatype;
    } else if (datatype == 0) {
      const auto known = datatype_by_name_.find(name);
      if (known != datatype_by_name_.end()) datatype = known->second;
    }
    const std::optional<std::string> text = MetricText(metric, datatype);
    if (!text) continue;
    const int64_t at = metric.timestamp ? static_cast<int64_t>(*metric.timestamp) : payload_ms;
    const mtconnect::ItemRole role = config_.mapping.items.RoleOf(name);
    timed.push_back({at, {at, name, RoleValue(role, *text), ""}});
  }
  std::stable_sort(timed.begin(), timed.end(),
                   [](const Timed& a, const Timed& b) { return a.utc_ms < b.utc_ms; });
  for (const Timed& entry : timed) {
    for (auto& command : mapper_.Observe(entry.observation)) out.push_back(command);
  }
}

std::string SparkplugClientId(const SparkplugDeviceConfig& device, const SparkplugPayload& payload,
                              int64_t time_ms, size_t index) {
  const uint64_t key = Fnv1a(device.group + "/" + device.node + "/" + device.device);
  return fmt::format("spB:{:016x}:{}:{}:{}", key, payload.seq.value_or(0), time_ms, index);
}

}  // namespace mqtt
