// The few MQTT 3.1.1 packets a subscriber exchanges, encoded and decoded as
// bytes: CONNECT, SUBSCRIBE, PUBACK and PINGREQ out; CONNACK, SUBACK,
// PUBLISH and PINGRESP in. Pure functions; thread-safe.
//
// The bridge speaks the protocol itself because the Debian client library
// acknowledges a QoS 1 message before handing it over, and the log may
// take it only after its rows are committed.
#ifndef VOLTRANE_MQTT_MQTT_PACKET_H_
#define VOLTRANE_MQTT_MQTT_PACKET_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mqtt {

enum class PacketType : uint8_t {
  kConnect = 1,
  kConnack = 2,
  kPublish = 3,
  kPuback = 4,
  kSubscribe = 8,
  kSuback = 9,
  kPingreq = 12,
  kPingresp = 13,
  kDisconnect = 14,
};

struct ConnectRequest {
  std::string client_id;
  bool clean_session = false;  // false: the broker keeps the session and its queue
  uint16_t keepalive_seconds = 30;
  std::string username;  // "" for none
  std::string password;  // sent only with a username
};

struct Message {
  std::string topic;
  std::string payload;
  int qos = 0;
  bool duplicate = false;  // the broker sends it again
  bool retained = false;   // kept by the broker, sent because of a subscription
  uint16_t packet_id = 0;  // QoS 1 and 2 only
};

std::string EncodeConnect(const ConnectRequest& request);
std::string EncodeSubscribe(uint16_t packet_id, const std::vector<std::string>& filters, int qos);
std::string EncodePuback(uint16_t packet_id);
std::string EncodePingreq();
std::string EncodeDisconnect();
// For tests and the benchmark's publisher: a PUBLISH of the given QoS.
std::string EncodePublish(const std::string& topic, std::string_view payload, int qos,
                          uint16_t packet_id, bool retain = false);

// The remaining length field at the start of `bytes`: the value and the
// bytes it took; none when incomplete, 0 bytes taken when malformed.
struct RemainingLength {
  uint32_t value = 0;
  size_t bytes = 0;
};
std::optional<RemainingLength> DecodeRemainingLength(std::string_view bytes);

// The body of a PUBLISH (after its fixed header) with the header's flags;
// none when it is malformed.
std::optional<Message> DecodePublish(uint8_t flags, std::string_view body);

}  // namespace mqtt

#endif  // VOLTRANE_MQTT_MQTT_PACKET_H_
