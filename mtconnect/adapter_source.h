// A live SHDR adapter over TCP as a machine's source.
//
// Connects to HOST:PORT and asks "* PING"; an adapter that answers
// "* PONG <ms>" is pinged every <ms> and counts as gone when nothing arrives
// for twice that long. One that does not answer is given `silence_limit`
// without any line. When the adapter closes the connection, cannot be
// reached or falls silent, the source reconnects after a back-off that
// doubles from `retry_min` to `retry_max` and starts again at `retry_min`
// once a connection has carried data. The mapping's state outlives the
// connection, so values the adapter sends again after a reconnect change
// nothing. Runs on the calling thread until stopped.
#ifndef VOLTRANE_MTCONNECT_ADAPTER_SOURCE_H_
#define VOLTRANE_MTCONNECT_ADAPTER_SOURCE_H_

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "mtconnect/machine_bridge.h"
#include "mtconnect/stop_signal.h"

namespace mtconnect {

struct AdapterOptions {
  std::string host;
  std::string port;
  std::chrono::milliseconds silence_limit{600000};  // without heartbeats
  std::chrono::milliseconds retry_min{1000};
  std::chrono::milliseconds retry_max{60000};
  std::chrono::milliseconds connect_timeout{10000};
  size_t max_line = 16 * 1024 * 1024;  // bytes
};

// "host:port" or "[v6-address]:port" into host and port; false with a
// message when it is neither.
bool ParseHostPort(std::string_view text, std::string& host, std::string& port,
                   std::string& message);

void RunAdapter(const AdapterOptions& options, MachineBridge& bridge, const StopSignal& stop);

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_ADAPTER_SOURCE_H_
