#include "mqtt/sparkplug_topic.h"

#include <vector>

namespace mqtt {
namespace {

std::vector<std::string> Levels(std::string_view topic) {
  std::vector<std::string> levels;
  size_t start = 0;
  for (;;) {
    const size_t slash = topic.find('/', start);
    levels.emplace_back(topic.substr(start, slash - start));
    if (slash == std::string_view::npos) return levels;
    start = slash + 1;
  }
}

}  // namespace

std::optional<SparkplugTopic> ParseSparkplugTopic(std::string_view topic) {
  const std::vector<std::string> levels = Levels(topic);
  if (levels.size() < 4 || levels.size() > 5 || levels[0] != kSparkplugNamespace) {
    return std::nullopt;
  }
  const std::string& type = levels[2];
  const bool device_type = type.size() > 1 && type[0] == 'D';
  if ((type.size() < 2 || (type[0] != 'N' && type[0] != 'D')) ||
      device_type != (levels.size() == 5)) {
    return std::nullopt;
  }
  SparkplugTopic parsed{levels[0 + 1], SparkplugKind::kOther, levels[3], ""};
  if (device_type) parsed.device = levels[4];
  const std::string what = type.substr(1);
  parsed.kind = what == "BIRTH"   ? SparkplugKind::kBirth
                : what == "DATA"  ? SparkplugKind::kData
                : what == "DEATH" ? SparkplugKind::kDeath
                                  : SparkplugKind::kOther;
  if (parsed.group.empty() || parsed.node.empty() || (device_type && parsed.device.empty())) {
    return std::nullopt;
  }
  return parsed;
}

}  // namespace mqtt
