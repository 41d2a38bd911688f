// Sparkplug B topics: spBv1.0/<group>/<message type>/<edge node>[/<device>].
// Pure function; thread-safe.
#ifndef VOLTRANE_MQTT_SPARKPLUG_TOPIC_H_
#define VOLTRANE_MQTT_SPARKPLUG_TOPIC_H_

#include <optional>
#include <string>
#include <string_view>

namespace mqtt {

inline constexpr std::string_view kSparkplugNamespace = "spBv1.0";

enum class SparkplugKind { kBirth, kData, kDeath, kOther };

struct SparkplugTopic {
  std::string group;
  SparkplugKind kind = SparkplugKind::kOther;
  std::string node;
  std::string device;  // "" for NBIRTH, NDATA, NDEATH
};

// None for a topic outside the namespace or of the wrong shape.
std::optional<SparkplugTopic> ParseSparkplugTopic(std::string_view topic);

}  // namespace mqtt

#endif  // VOLTRANE_MQTT_SPARKPLUG_TOPIC_H_
