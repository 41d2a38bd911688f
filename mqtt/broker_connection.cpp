#include "mqtt/broker_connection.h"

#include <fmt/format.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mqtt {
namespace {

constexpr std::chrono::milliseconds kReplyWait{10000};
// Larger packets are no command or Sparkplug payload; the connection is dropped.
constexpr uint32_t kLargestPacket = 16 * 1024 * 1024;

bool WaitReadable(int fd, std::chrono::milliseconds wait) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, static_cast<int>(wait.count())) > 0;
}

// The CONNACK return codes of MQTT 3.1.1.
std::string RefusalText(int code) {
  switch (code) {
    case 1:
      return "it does not speak MQTT 3.1.1";
    case 2:
      return "it rejects the client id";
    case 3:
      return "the broker is unavailable";
    case 4:
      return "wrong user name or password";
    case 5:
      return "not authorised";
    default:
      return fmt::format("code {}", code);
  }
}

std::string TlsErrorText() {
  const unsigned long code = ERR_get_error();
  return code == 0 ? std::string("TLS failure") : std::string(ERR_error_string(code, nullptr));
}

}  // namespace

BrokerConnection::~BrokerConnection() { Close(); }

void BrokerConnection::Close() {
  if (tls_ != nullptr) {
    SSL_free(tls_);
    tls_ = nullptr;
  }
  if (tls_context_ != nullptr) {
    SSL_CTX_free(tls_context_);
    tls_context_ = nullptr;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  ping_outstanding_ = false;
  early_.clear();
}

bool BrokerConnection::Fail(std::string& error, std::string text) {
  error = std::move(text);
  Close();
  return false;
}

bool BrokerConnection::Connect(const BrokerAddress& address, const ConnectRequest& request,
                               std::string& error) {
  Close();
  if (!OpenSocket(address, error)) return false;
  if (!address.ca_file.empty() && !StartTls(address, error)) return false;
  keepalive_ = std::chrono::seconds(request.keepalive_seconds);
  if (!Send(EncodeConnect(request), error)) return false;
  uint8_t first = 0;
  std::string body;
  if (ReadPacket(first, body, kReplyWait, error) != Next::kMessage) {
    return Fail(error, error.empty() ? "no answer to CONNECT" : error);
  }
  if ((first >> 4) != static_cast<uint8_t>(PacketType::kConnack) || body.size() != 2) {
    return Fail(error, "the broker did not answer CONNECT with CONNACK");
  }
  if (body[1] != 0) {
    return Fail(error, "the broker refused the connection: " + RefusalText(body[1]));
  }
  return true;
}

bool BrokerConnection::OpenSocket(const BrokerAddress& address, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(address.port);
  if (const int code = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found); code != 0) {
    error = fmt::format("cannot resolve {}: {}", address.host, gai_strerror(code));
    return false;
  }
  error = "no address";
  for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    const int fd =
        ::socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC, entry->ai_protocol);
    if (fd < 0) continue;
    if (::connect(fd, entry->ai_addr, entry->ai_addrlen) == 0) {
      const int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      fd_ = fd;
      break;
    }
    error = std::strerror(errno);
    ::close(fd);
  }
  freeaddrinfo(found);
  if (fd_ < 0) {
    error = fmt::format("cannot connect to {}:{}: {}", address.host, address.port, error);
    return false;
  }
  error.clear();
  return true;
}

bool BrokerConnection::StartTls(const BrokerAddress& address, std::string& error) {
  tls_context_ = SSL_CTX_new(TLS_client_method());
  if (tls_context_ == nullptr ||
      SSL_CTX_load_verify_locations(tls_context_, address.ca_file.c_str(), nullptr) != 1) {
    return Fail(error,
                fmt::format("cannot read the CA file {}: {}", address.ca_file, TlsErrorText()));
  }
  SSL_CTX_set_verify(tls_context_, SSL_VERIFY_PEER, nullptr);
  tls_ = SSL_new(tls_context_);
  SSL_set_fd(tls_, fd_);
  SSL_set_tlsext_host_name(tls_, address.host.c_str());
  SSL_set1_host(tls_, address.host.c_str());
  if (SSL_connect(tls_) != 1) return Fail(error, "TLS handshake failed: " + TlsErrorText());
  return true;
}

bool BrokerConnection::Send(const std::string& bytes, std::string& error) {
  if (fd_ < 0) return Fail(error, "not connected");
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t written =
        tls_ != nullptr
            ? SSL_write(tls_, bytes.data() + sent, static_cast<int>(bytes.size() - sent))
            : ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (written <= 0) {
      if (tls_ == nullptr && written < 0 && errno == EINTR) continue;
      return Fail(error, "the connection to the broker was lost while sending");
    }
    sent += static_cast<size_t>(written);
  }
  last_sent_ = std::chrono::steady_clock::now();
  return true;
}

bool BrokerConnection::ReadExactly(char* out, size_t size, std::chrono::milliseconds wait,
                                   std::string& error) {
  size_t read = 0;
  while (read < size) {
    const bool buffered = tls_ != nullptr && SSL_pending(tls_) > 0;
    if (!buffered && !WaitReadable(fd_, wait)) {
      return Fail(error, "the broker stopped answering in the middle of a packet");
    }
    const ssize_t got = tls_ != nullptr ? SSL_read(tls_, out + read, static_cast<int>(size - read))
                                        : ::recv(fd_, out + read, size - read, 0);
    if (got <= 0) {
      if (tls_ == nullptr && got < 0 && errno == EINTR) continue;
      return Fail(error, "the broker closed the connection");
    }
    read += static_cast<size_t>(got);
  }
  return true;
}

BrokerConnection::Next BrokerConnection::ReadPacket(uint8_t& first_byte, std::string& body,
                                                    std::chrono::milliseconds wait,
                                                    std::string& error) {
  if (fd_ < 0) {
    error = "not connected";
    return Next::kClosed;
  }
  const bool buffered = tls_ != nullptr && SSL_pending(tls_) > 0;
  if (!buffered && !WaitReadable(fd_, wait)) return Next::kIdle;
  char first = 0;
  if (!ReadExactly(&first, 1, kReplyWait, error)) return Next::kClosed;
  first_byte = static_cast<uint8_t>(first);
  std::string length_bytes;
  std::optional<RemainingLength> length;
  while (!(length = DecodeRemainingLength(length_bytes))) {
    char digit = 0;
    if (!ReadExactly(&digit, 1, kReplyWait, error)) return Next::kClosed;
    length_bytes.push_back(digit);
  }
  if (length->bytes == 0 || length->value > kLargestPacket) {
    Fail(error, "the broker sent a malformed or oversized packet");
    return Next::kClosed;
  }
  body.resize(length->value);
  if (!body.empty() && !ReadExactly(body.data(), body.size(), kReplyWait, error)) {
    return Next::kClosed;
  }
  return Next::kMessage;
}

bool BrokerConnection::Subscribe(const std::vector<std::string>& filters, std::string& error) {
  const uint16_t packet_id = next_packet_id_++;
  if (next_packet_id_ == 0) next_packet_id_ = 1;
  if (!Send(EncodeSubscribe(packet_id, filters, 1), error)) return false;
  // What the broker kept for the session may come before the SUBACK.
  const auto deadline = std::chrono::steady_clock::now() + kReplyWait;
  while (std::chrono::steady_clock::now() < deadline) {
    uint8_t first = 0;
    std::string body;
    const Next next = ReadPacket(first, body, kReplyWait, error);
    if (next == Next::kClosed) return false;
    if (next == Next::kIdle) break;
    if ((first >> 4) == static_cast<uint8_t>(PacketType::kPublish)) {
      if (auto message = DecodePublish(first & 0x0F, body)) early_.push_back(std::move(*message));
      continue;
    }
    if ((first >> 4) != static_cast<uint8_t>(PacketType::kSuback)) continue;
    for (size_t i = 2; i < body.size(); ++i) {
      if (static_cast<uint8_t>(body[i]) == 0x80) {
        return Fail(error, fmt::format("the broker refused the subscription to {}",
                                       i - 2 < filters.size() ? filters[i - 2] : "?"));
      }
    }
    return true;
  }
  return Fail(error, "no answer to SUBSCRIBE");
}

bool BrokerConnection::KeepAlive(std::string& error) {
  if (keepalive_.count() == 0) return true;
  const auto since = std::chrono::steady_clock::now() - last_sent_;
  if (ping_outstanding_ && since > keepalive_) {
    return Fail(error, "the broker did not answer the keep-alive ping");
  }
  if (!ping_outstanding_ && since >= keepalive_ / 2) {
    ping_outstanding_ = true;
    return Send(EncodePingreq(), error);
  }
  return true;
}

BrokerConnection::Next BrokerConnection::NextMessage(Message& message,
                                                     std::chrono::milliseconds wait,
                                                     std::string& error) {
  if (!early_.empty()) {
    message = std::move(early_.front());
    early_.pop_front();
    return Next::kMessage;
  }
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (!KeepAlive(error)) return Next::kClosed;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Next::kIdle;
    uint8_t first = 0;
    std::string body;
    const Next next =
        ReadPacket(first, body, std::min(left, std::chrono::milliseconds(500)), error);
    if (next == Next::kClosed) return next;
    if (next == Next::kIdle) continue;
    const auto type = static_cast<PacketType>(first >> 4);
    if (type == PacketType::kPingresp) {
      ping_outstanding_ = false;
      continue;
    }
    if (type != PacketType::kPublish) continue;
    std::optional<Message> decoded = DecodePublish(first & 0x0F, body);
    if (!decoded) {
      Fail(error, "the broker sent a malformed PUBLISH");
      return Next::kClosed;
    }
    message = std::move(*decoded);
    return Next::kMessage;
  }
}

bool BrokerConnection::Ack(uint16_t packet_id, std::string& error) {
  return Send(EncodePuback(packet_id), error);
}

}  // namespace mqtt

namespace mqtt {

bool BrokerConnection::Publish(const std::string& topic, std::string_view payload, int qos,
                               std::string& error, bool retain) {
  const uint16_t packet_id = next_packet_id_++;
  if (next_packet_id_ == 0) next_packet_id_ = 1;
  if (!Send(EncodePublish(topic, payload, qos, packet_id, retain), error)) return false;
  if (qos == 0) return true;
  for (;;) {
    uint8_t first = 0;
    std::string body;
    const Next next = ReadPacket(first, body, kReplyWait, error);
    if (next == Next::kClosed) return false;
    if (next == Next::kIdle) return Fail(error, "no PUBACK from the broker");
    if ((first >> 4) == static_cast<uint8_t>(PacketType::kPuback) && body.size() >= 2 &&
        ((static_cast<uint8_t>(body[0]) << 8) | static_cast<uint8_t>(body[1])) == packet_id) {
      return true;
    }
  }
}

}  // namespace mqtt
