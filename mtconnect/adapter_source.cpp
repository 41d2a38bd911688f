#include "mtconnect/adapter_source.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "mtconnect/line_buffer.h"
#include "mtconnect/shdr_reader.h"

namespace mtconnect {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Closes the socket when the session ends, whichever way.
class Socket {
 public:
  explicit Socket(int fd = -1) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  int fd() const { return fd_; }

 private:
  int fd_;
};

int MillisecondsUntil(Clock::time_point moment) {
  const auto left = std::chrono::duration_cast<milliseconds>(moment - Clock::now()).count();
  return static_cast<int>(std::clamp<int64_t>(left, 0, 60000));
}

// Waits until `fd` is ready for `events`; false on a stop or timeout.
bool WaitReady(int fd, short events, Clock::time_point deadline, const StopSignal& stop) {
  while (!stop.Stopped()) {
    const int wait = MillisecondsUntil(deadline);
    pollfd watch[2] = {{fd, events, 0}, {stop.fd(), POLLIN, 0}};
    const int ready = poll(watch, 2, wait);
    if (ready > 0 && watch[0].revents != 0) return true;
    if (ready == 0 && Clock::now() >= deadline) return false;
  }
  return false;
}

// A connected socket, or fd -1 with `error` set.
Socket Connect(const AdapterOptions& options, const StopSignal& stop, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int resolved = getaddrinfo(options.host.c_str(), options.port.c_str(), &hints, &found);
  if (resolved != 0) {
    error = gai_strerror(resolved);
    return Socket();
  }
  error = "no address";
  for (addrinfo* address = found; address != nullptr; address = address->ai_next) {
    Socket socket_fd(
        socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket_fd.fd() < 0) {
      error = std::strerror(errno);
      continue;
    }
    if (connect(socket_fd.fd(), address->ai_addr, address->ai_addrlen) != 0 &&
        errno != EINPROGRESS) {
      error = std::strerror(errno);
      continue;
    }
    if (!WaitReady(socket_fd.fd(), POLLOUT, Clock::now() + options.connect_timeout, stop)) {
      error = "no answer";
      continue;
    }
    int failure = 0;
    socklen_t length = sizeof failure;
    getsockopt(socket_fd.fd(), SOL_SOCKET, SO_ERROR, &failure, &length);
    if (failure != 0) {
      error = std::strerror(failure);
      continue;
    }
    freeaddrinfo(found);
    return socket_fd;
  }
  freeaddrinfo(found);
  return Socket();
}

bool SendPing(int fd) {
  static constexpr std::string_view kPing = "* PING\n";
  return send(fd, kPing.data(), kPing.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(kPing.size());
}

// The heartbeat of "PONG <ms>", or 0 when the line is something else.
int64_t PongMilliseconds(const std::string& protocol) {
  constexpr std::string_view kPong = "PONG";
  if (protocol.compare(0, kPong.size(), kPong) != 0) return 0;
  std::string_view rest = std::string_view(protocol).substr(kPong.size());
  rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
  int64_t ms = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), ms);
  return error == std::errc() && ms > 0 ? ms : 0;
}

// One connection's life: reads lines until the adapter goes away, falls
// silent or a stop. True when it carried any line.
class Session {
 public:
  Session(const AdapterOptions& options, MachineBridge& bridge, const StopSignal& stop,
          ShdrReader& reader)
      : options_(options),
        bridge_(bridge),
        stop_(stop),
        reader_(reader),
        lines_(options.max_line) {}

  bool Run(int fd) {
    silence_limit_ = options_.silence_limit;
    last_data_ = Clock::now();
    if (!SendPing(fd)) {
      bridge_.Warning(fmt::format("could not ask for a heartbeat: {}", std::strerror(errno)));
      return false;
    }
    while (!stop_.Stopped()) {
      const Clock::time_point silent_at = last_data_ + silence_limit_;
      if (Clock::now() >= silent_at) {
        bridge_.Warning(fmt::format("the adapter has been silent for {} ms; reconnecting",
                                    silence_limit_.count()));
        return carried_data_;
      }
      if (heartbeat_.count() > 0 && Clock::now() >= next_ping_) {
        SendPing(fd);
        next_ping_ = Clock::now() + heartbeat_;
      }
      Clock::time_point wake = silent_at;
      if (heartbeat_.count() > 0) wake = std::min(wake, next_ping_);
      pollfd watch[2] = {{fd, POLLIN, 0}, {stop_.fd(), POLLIN, 0}};
      if (poll(watch, 2, MillisecondsUntil(wake)) <= 0 || watch[0].revents == 0) continue;
      if (!Receive(fd)) return carried_data_;
    }
    return carried_data_;
  }

 private:
  bool Receive(int fd) {
    char buffer[65536];
    const ssize_t received = recv(fd, buffer, sizeof buffer, 0);
    if (received == 0) {
      bridge_.Warning("the adapter closed the connection");
      return false;
    }
    if (received < 0) {
      if (errno == EAGAIN || errno == EINTR) return true;
      bridge_.Warning(fmt::format("connection lost: {}", std::strerror(errno)));
      return false;
    }
    lines_.Append(std::string_view(buffer, static_cast<size_t>(received)));
    std::string line;
    bool overlong = false;
    while (lines_.Next(line, overlong)) {
      last_data_ = Clock::now();
      carried_data_ = true;
      ++line_number_;
      const ShdrLine parsed = overlong ? reader_.Overlong(lines_.max_line()) : reader_.Next(line);
      if (parsed.kind == ShdrLineKind::kProtocol) {
        Protocol(parsed.text);
      } else {
        bridge_.OnShdrLine(parsed, fmt::format("line {} of this connection", line_number_));
      }
    }
    return true;
  }

  void Protocol(const std::string& text) {
    const int64_t pong = PongMilliseconds(text);
    if (pong == 0) return;
    if (heartbeat_.count() != pong) {
      bridge_.Info(fmt::format("the adapter answers heartbeats every {} ms", pong));
    }
    heartbeat_ = milliseconds(pong);
    silence_limit_ = 2 * heartbeat_;
    next_ping_ = Clock::now() + heartbeat_;
  }

  const AdapterOptions& options_;
  MachineBridge& bridge_;
  const StopSignal& stop_;
  ShdrReader& reader_;
  LineBuffer lines_;
  milliseconds heartbeat_{0};  // 0 until the adapter answers a ping
  milliseconds silence_limit_;
  Clock::time_point last_data_;
  Clock::time_point next_ping_;
  bool carried_data_ = false;
  uint64_t line_number_ = 0;
};

}  // namespace

bool ParseHostPort(std::string_view text, std::string& host, std::string& port,
                   std::string& message) {
  size_t colon = text.rfind(':');
  std::string_view host_part = colon == std::string_view::npos ? text : text.substr(0, colon);
  if (host_part.size() >= 2 && host_part.front() == '[' && host_part.back() == ']') {
    host_part = host_part.substr(1, host_part.size() - 2);
  }
  const std::string_view port_part =
      colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  unsigned number = 0;
  const auto [end, error] =
      std::from_chars(port_part.data(), port_part.data() + port_part.size(), number);
  if (host_part.empty() || port_part.empty() || error != std::errc() ||
      end != port_part.data() + port_part.size() || number == 0 || number > 65535) {
    message = fmt::format("\"{}\" is not HOST:PORT", text);
    return false;
  }
  host = std::string(host_part);
  port = std::string(port_part);
  return true;
}

void RunAdapter(const AdapterOptions& options, MachineBridge& bridge, const StopSignal& stop) {
  ShdrReader reader;
  milliseconds retry = options.retry_min;
  while (!stop.Stopped()) {
    std::string error;
    Socket socket_fd = Connect(options, stop, error);
    if (stop.Stopped()) break;
    bool carried_data = false;
    if (socket_fd.fd() < 0) {
      bridge.Warning(fmt::format("cannot connect to the adapter {}:{}: {}", options.host,
                                 options.port, error));
    } else {
      bridge.Info(fmt::format("connected to the adapter {}:{}", options.host, options.port));
      bridge.OnConnected(true);
      Session session(options, bridge, stop, reader);
      carried_data = session.Run(socket_fd.fd());
      bridge.OnConnected(false);
      reader.Reset();
      bridge.ReportTotals(&reader.counts());
    }
    if (stop.Stopped()) break;
    retry = carried_data ? options.retry_min : retry;
    bridge.Info(fmt::format("reconnecting in {} ms", retry.count()));
    if (!stop.WaitFor(retry)) break;
    if (!carried_data) retry = std::min(retry * 2, options.retry_max);
  }
}

}  // namespace mtconnect
