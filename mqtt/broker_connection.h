// BrokerConnection: one MQTT 3.1.1 session with a broker over TCP, or TLS
// when a CA file is given. Connect sends CONNECT and waits for CONNACK;
// Subscribe sends SUBSCRIBE at QoS 1 and waits for SUBACK; Next returns the
// next PUBLISH, answering the broker's keep-alive meanwhile; Ack sends the
// PUBACK of a QoS 1 message when the caller has committed it. Publish is
// for the bridge's publishers (tests, benchmark).
//
// Failures close the connection and leave a text in `error`; the caller
// connects again. One thread; not thread-safe.
#ifndef VOLTRANE_MQTT_BROKER_CONNECTION_H_
#define VOLTRANE_MQTT_BROKER_CONNECTION_H_

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "mqtt/mqtt_packet.h"

struct ssl_ctx_st;
struct ssl_st;

namespace mqtt {

struct BrokerAddress {
  std::string host = "127.0.0.1";
  uint16_t port = 1883;
  std::string ca_file;  // "" plain TCP; else TLS, the broker checked against this CA
};

class BrokerConnection {
 public:
  BrokerConnection() = default;
  ~BrokerConnection();
  BrokerConnection(const BrokerConnection&) = delete;
  BrokerConnection& operator=(const BrokerConnection&) = delete;

  bool Connect(const BrokerAddress& address, const ConnectRequest& request, std::string& error);
  bool Subscribe(const std::vector<std::string>& filters, std::string& error);

  enum class Next { kMessage, kIdle, kClosed };
  // Waits up to `wait` for a message.
  Next NextMessage(Message& message, std::chrono::milliseconds wait, std::string& error);
  bool Ack(uint16_t packet_id, std::string& error);
  // For publishers (tests, the benchmark, simulators): QoS 1 waits for the PUBACK.
  bool Publish(const std::string& topic, std::string_view payload, int qos, std::string& error,
               bool retain = false);

  bool connected() const { return fd_ >= 0; }
  void Close();

 private:
  bool OpenSocket(const BrokerAddress& address, std::string& error);
  bool StartTls(const BrokerAddress& address, std::string& error);
  bool Send(const std::string& bytes, std::string& error);
  // One whole packet; false with `error` on a closed or broken connection.
  // `wait` bounds the wait for its first byte; kIdle when none came.
  Next ReadPacket(uint8_t& first_byte, std::string& body, std::chrono::milliseconds wait,
                  std::string& error);
  bool ReadExactly(char* out, size_t size, std::chrono::milliseconds wait, std::string& error);
  bool KeepAlive(std::string& error);
  bool Fail(std::string& error, std::string text);

  int fd_ = -1;
  ssl_ctx_st* tls_context_ = nullptr;
  ssl_st* tls_ = nullptr;
  std::chrono::seconds keepalive_{30};
  std::chrono::steady_clock::time_point last_sent_;
  bool ping_outstanding_ = false;
  uint16_t next_packet_id_ = 1;
  std::deque<Message> early_;  // sent by the broker before it answered SUBSCRIBE
};

}  // namespace mqtt

#endif  // VOLTRANE_MQTT_BROKER_CONNECTION_H_
