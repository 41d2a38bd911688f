#include "mqtt/mqtt_packet.h"

namespace mqtt {
namespace {

void AppendUint16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value >> 8));
  out.push_back(static_cast<char>(value & 0xFF));
}

void AppendText(std::string& out, std::string_view text) {
  AppendUint16(out, static_cast<uint16_t>(text.size()));
  out.append(text);
}

std::string WithFixedHeader(uint8_t first_byte, const std::string& body) {
  std::string out(1, static_cast<char>(first_byte));
  size_t length = body.size();
  do {
    uint8_t digit = length % 128;
    length /= 128;
    if (length > 0) digit |= 0x80;
    out.push_back(static_cast<char>(digit));
  } while (length > 0);
  return out + body;
}

uint8_t FirstByte(PacketType type, uint8_t flags = 0) {
  return static_cast<uint8_t>((static_cast<uint8_t>(type) << 4) | flags);
}

uint16_t ReadUint16(std::string_view bytes, size_t at) {
  return static_cast<uint16_t>((static_cast<uint8_t>(bytes[at]) << 8) |
                               static_cast<uint8_t>(bytes[at + 1]));
}

}  // namespace

std::string EncodeConnect(const ConnectRequest& request) {
  std::string body;
  AppendText(body, "MQTT");
  body.push_back(4);  // protocol level 3.1.1
  uint8_t flags = request.clean_session ? 0x02 : 0x00;
  if (!request.username.empty()) flags |= 0xC0;  // username and password
  body.push_back(static_cast<char>(flags));
  AppendUint16(body, request.keepalive_seconds);
  AppendText(body, request.client_id);
  if (!request.username.empty()) {
    AppendText(body, request.username);
    AppendText(body, request.password);
  }
  return WithFixedHeader(FirstByte(PacketType::kConnect), body);
}

std::string EncodeSubscribe(uint16_t packet_id, const std::vector<std::string>& filters, int qos) {
  std::string body;
  AppendUint16(body, packet_id);
  for (const std::string& filter : filters) {
    AppendText(body, filter);
    body.push_back(static_cast<char>(qos));
  }
  return WithFixedHeader(FirstByte(PacketType::kSubscribe, 0x02), body);
}

std::string EncodePuback(uint16_t packet_id) {
  std::string body;
  AppendUint16(body, packet_id);
  return WithFixedHeader(FirstByte(PacketType::kPuback), body);
}

std::string EncodePingreq() { return WithFixedHeader(FirstByte(PacketType::kPingreq), ""); }

std::string EncodeDisconnect() { return WithFixedHeader(FirstByte(PacketType::kDisconnect), ""); }

std::string EncodePublish(const std::string& topic, std::string_view payload, int qos,
                          uint16_t packet_id, bool retain) {
  std::string body;
  AppendText(body, topic);
  if (qos > 0) AppendUint16(body, packet_id);
  body.append(payload);
  const auto flags = static_cast<uint8_t>((qos << 1) | (retain ? 1 : 0));
  return WithFixedHeader(FirstByte(PacketType::kPublish, flags), body);
}

std::optional<RemainingLength> DecodeRemainingLength(std::string_view bytes) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (i >= bytes.size()) return std::nullopt;
    const auto digit = static_cast<uint8_t>(bytes[i]);
    value |= static_cast<uint32_t>(digit & 0x7F) << (7 * i);
    if ((digit & 0x80) == 0) return RemainingLength{value, i + 1};
  }
  return RemainingLength{0, 0};
}

std::optional<Message> DecodePublish(uint8_t flags, std::string_view body) {
  Message message;
  message.qos = (flags >> 1) & 0x03;
  message.duplicate = (flags & 0x08) != 0;
  message.retained = (flags & 0x01) != 0;
  if (message.qos > 2 || body.size() < 2) return std::nullopt;
  const size_t topic_length = ReadUint16(body, 0);
  size_t at = 2 + topic_length;
  if (body.size() < at) return std::nullopt;
  message.topic.assign(body.substr(2, topic_length));
  if (message.qos > 0) {
    if (body.size() < at + 2) return std::nullopt;
    message.packet_id = ReadUint16(body, at);
    at += 2;
  }
  message.payload.assign(body.substr(at));
  return message;
}

}  // namespace mqtt
