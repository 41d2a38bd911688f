#include "mqtt/bridge_loop.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>

#include "mqtt/broker_connection.h"

namespace mqtt {
namespace {

int64_t NowUtcMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Connected and subscribed: messages until the connection ends or the stop.
void Serve(BrokerConnection& connection, MessageRouter& router, const mtconnect::StopSignal& stop,
           std::string& error) {
  while (!stop.Stopped()) {
    Message message;
    const BrokerConnection::Next next =
        connection.NextMessage(message, std::chrono::milliseconds(200), error);
    if (next == BrokerConnection::Next::kClosed) return;
    if (next == BrokerConnection::Next::kIdle) continue;
    if (!router.Handle(message, NowUtcMs())) return;  // stopped: the broker sends it again
    if (message.qos > 0 && !connection.Ack(message.packet_id, error)) return;
  }
}

}  // namespace

void RunBridge(const BridgeConfig& config, const std::string& password, MessageRouter& router,
               mtconnect::Reporter& reporter, BridgeCounters& counters,
               const mtconnect::StopSignal& stop) {
  const std::string broker = fmt::format("{}:{}", config.broker.host, config.broker.port);
  ConnectRequest request{config.client_id, false, static_cast<uint16_t>(config.keepalive_seconds),
                         config.username, password};
  std::chrono::milliseconds wait = config.reconnect_min;
  bool ever_connected = false;
  bool outage_reported = false;
  while (!stop.Stopped()) {
    BrokerConnection connection;
    std::string error;
    if (connection.Connect(config.broker, request, error) &&
        connection.Subscribe(router.Filters(), error)) {
      if (ever_connected) ++counters.reconnects;
      reporter.Report(
          mtconnect::Severity::kInfo,
          fmt::format("{} broker {} as {}", outage_reported ? "Connected again to" : "Connected to",
                      broker, config.client_id));
      ever_connected = true;
      outage_reported = false;
      counters.connected = 1;
      wait = config.reconnect_min;
      Serve(connection, router, stop, error);
      counters.connected = 0;
      if (stop.Stopped()) break;
    }
    if (!outage_reported) {
      reporter.Report(mtconnect::Severity::kWarning,
                      fmt::format("Cannot connect to broker {}, retrying: {}", broker, error));
      outage_reported = true;
    }
    if (!stop.WaitFor(wait)) break;
    wait = std::min(wait * 2, config.reconnect_max);
  }
  counters.connected = 0;
}

}  // namespace mqtt
