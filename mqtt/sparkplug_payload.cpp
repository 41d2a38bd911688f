#include "mqtt/sparkplug_payload.h"

#include <fmt/format.h>

#include <memory>

#include "mqtt/sparkplug_b.pb-c.h"  // generated from sparkplug_b.proto

namespace mqtt {
namespace {

using ProtoPayload = Org__Eclipse__Tahu__Protobuf__Payload;
using ProtoMetric = Org__Eclipse__Tahu__Protobuf__Payload__Metric;

struct PayloadFree {
  void operator()(ProtoPayload* payload) const {
    org__eclipse__tahu__protobuf__payload__free_unpacked(payload, nullptr);
  }
};

SparkplugMetric FromProto(const ProtoMetric& proto) {
  SparkplugMetric metric;
  if (proto.name != nullptr) metric.name = proto.name;
  if (proto.has_alias) metric.alias = proto.alias;
  if (proto.has_timestamp) metric.timestamp = proto.timestamp;
  if (proto.has_datatype) metric.datatype = proto.datatype;
  metric.is_null = proto.has_is_null && proto.is_null;
  switch (proto.value_case) {
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_INT_VALUE:
      metric.kind = ValueKind::kInt;
      metric.integer = proto.int_value;
      break;
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_LONG_VALUE:
      metric.kind = ValueKind::kLong;
      metric.integer = proto.long_value;
      break;
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_FLOAT_VALUE:
      metric.kind = ValueKind::kFloat;
      metric.real = proto.float_value;
      break;
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_DOUBLE_VALUE:
      metric.kind = ValueKind::kDouble;
      metric.real = proto.double_value;
      break;
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_BOOLEAN_VALUE:
      metric.kind = ValueKind::kBoolean;
      metric.boolean = proto.boolean_value != 0;
      break;
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_STRING_VALUE:
      metric.kind = ValueKind::kString;
      if (proto.string_value != nullptr) metric.text = proto.string_value;
      break;
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE__NOT_SET:
      break;
    default:
      metric.kind = ValueKind::kOther;
      break;
  }
  return metric;
}

std::string SignedText(uint64_t wire, uint32_t datatype) {
  switch (static_cast<SparkplugType>(datatype)) {
    case SparkplugType::kInt8:
      return std::to_string(static_cast<int8_t>(wire));
    case SparkplugType::kInt16:
      return std::to_string(static_cast<int16_t>(wire));
    case SparkplugType::kInt32:
      return std::to_string(static_cast<int32_t>(wire));
    case SparkplugType::kInt64:
      return std::to_string(static_cast<int64_t>(wire));
    default:
      return std::to_string(wire);
  }
}

}  // namespace

std::optional<SparkplugPayload> DecodeSparkplugPayload(std::string_view bytes) {
  std::unique_ptr<ProtoPayload, PayloadFree> proto(org__eclipse__tahu__protobuf__payload__unpack(
      nullptr, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data())));
  if (!proto) return std::nullopt;
  SparkplugPayload payload;
  if (proto->has_timestamp) payload.timestamp = proto->timestamp;
  if (proto->has_seq) payload.seq = proto->seq;
  payload.metrics.reserve(proto->n_metrics);
  for (size_t i = 0; i < proto->n_metrics; ++i)
    payload.metrics.push_back(FromProto(*proto->metrics[i]));
  return payload;
}

std::string EncodeSparkplugPayload(const SparkplugPayload& payload) {
  std::vector<ProtoMetric> metrics(payload.metrics.size());
  std::vector<ProtoMetric*> pointers;
  for (size_t i = 0; i < payload.metrics.size(); ++i) {
    const SparkplugMetric& from = payload.metrics[i];
    ProtoMetric& to = metrics[i];
    org__eclipse__tahu__protobuf__payload__metric__init(&to);
    if (!from.name.empty()) to.name = const_cast<char*>(from.name.c_str());
    to.has_alias = from.alias.has_value();
    to.alias = from.alias.value_or(0);
    to.has_timestamp = from.timestamp.has_value();
    to.timestamp = from.timestamp.value_or(0);
    to.has_datatype = from.datatype != 0;
    to.datatype = from.datatype;
    to.has_is_null = from.is_null;
    to.is_null = from.is_null;
    switch (from.kind) {
      case ValueKind::kInt:
        to.value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_INT_VALUE;
        to.int_value = static_cast<uint32_t>(from.integer);
        break;
      case ValueKind::kLong:
        to.value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_LONG_VALUE;
        to.long_value = from.integer;
        break;
      case ValueKind::kFloat:
        to.value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_FLOAT_VALUE;
        to.float_value = static_cast<float>(from.real);
        break;
      case ValueKind::kDouble:
        to.value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_DOUBLE_VALUE;
        to.double_value = from.real;
        break;
      case ValueKind::kBoolean:
        to.value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_BOOLEAN_VALUE;
        to.boolean_value = from.boolean;
        break;
      case ValueKind::kString:
        to.value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_STRING_VALUE;
        to.string_value = const_cast<char*>(from.text.c_str());
        break;
      case ValueKind::kNone:
      case ValueKind::kOther:
        break;
    }
    pointers.push_back(&to);
  }
  ProtoPayload proto;
  org__eclipse__tahu__protobuf__payload__init(&proto);
  proto.has_timestamp = payload.timestamp.has_value();
  proto.timestamp = payload.timestamp.value_or(0);
  proto.has_seq = payload.seq.has_value();
  proto.seq = payload.seq.value_or(0);
  proto.n_metrics = pointers.size();
  proto.metrics = pointers.data();
  std::string bytes(org__eclipse__tahu__protobuf__payload__get_packed_size(&proto), '\0');
  org__eclipse__tahu__protobuf__payload__pack(&proto, reinterpret_cast<uint8_t*>(bytes.data()));
  return bytes;
}

std::optional<std::string> MetricText(const SparkplugMetric& metric, uint32_t datatype) {
  if (metric.is_null) return std::nullopt;
  switch (metric.kind) {
    case ValueKind::kInt:
    case ValueKind::kLong:
      return SignedText(metric.integer, datatype);
    case ValueKind::kFloat:
    case ValueKind::kDouble:
      return fmt::format("{}", metric.real);
    case ValueKind::kBoolean:
      return metric.boolean ? "true" : "false";
    case ValueKind::kString:
      return metric.text;
    case ValueKind::kNone:
    case ValueKind::kOther:
      break;
  }
  return std::nullopt;
}

}  // namespace mqtt
