// A Sparkplug B payload as the bridge reads it: the payload's timestamp and
// seq, and per metric its name or alias, timestamp, datatype and value (the
// schema is sparkplug_b.proto, decoded by protobuf-c). Values keep their
// wire form; MetricText turns one into the text the mapping compares, by the
// metric's datatype. Encoding is for tests, the benchmark and the fuzzer's
// seeds. Pure functions; thread-safe.
#ifndef VOLTRANE_MQTT_SPARKPLUG_PAYLOAD_H_
#define VOLTRANE_MQTT_SPARKPLUG_PAYLOAD_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mqtt {

// Sparkplug datatypes the mapping reads; others are passed over.
enum class SparkplugType : uint32_t {
  kUnknown = 0,
  kInt8 = 1,
  kInt16 = 2,
  kInt32 = 3,
  kInt64 = 4,
  kUInt8 = 5,
  kUInt16 = 6,
  kUInt32 = 7,
  kUInt64 = 8,
  kFloat = 9,
  kDouble = 10,
  kBoolean = 11,
  kString = 12,
  kDateTime = 13,
  kText = 14,
};

enum class ValueKind { kNone, kInt, kLong, kFloat, kDouble, kBoolean, kString, kOther };

struct SparkplugMetric {
  std::string name;  // "" when only the alias is sent
  std::optional<uint64_t> alias;
  std::optional<uint64_t> timestamp;  // ms since 1970 UTC
  uint32_t datatype = 0;              // 0: not sent
  bool is_null = false;
  ValueKind kind = ValueKind::kNone;
  uint64_t integer = 0;  // kInt (32 bits on the wire) and kLong
  double real = 0;       // kFloat and kDouble
  bool boolean = false;
  std::string text;  // kString
};

struct SparkplugPayload {
  std::optional<uint64_t> timestamp;
  std::optional<uint64_t> seq;
  std::vector<SparkplugMetric> metrics;
};

// None when the bytes are no Sparkplug B payload.
std::optional<SparkplugPayload> DecodeSparkplugPayload(std::string_view bytes);
std::string EncodeSparkplugPayload(const SparkplugPayload& payload);

// The metric's value as text under `datatype` (the metric's own or its
// BIRTH's): integers signed or not as the type says, booleans "true" or
// "false"; none for a null metric or one without a value the mapping reads.
std::optional<std::string> MetricText(const SparkplugMetric& metric, uint32_t datatype);

}  // namespace mqtt

#endif  // VOLTRANE_MQTT_SPARKPLUG_PAYLOAD_H_
