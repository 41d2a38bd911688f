#include "tools/mqtt_command.h"

#include <fmt/format.h>
#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <thread>

#include "metrics/health_server.h"
#include "metrics/metric_registry.h"
#include "mqtt/bridge_config.h"
#include "mqtt/bridge_counters.h"
#include "mqtt/bridge_loop.h"
#include "mqtt/bridge_metrics.h"
#include "mqtt/message_router.h"
#include "mqtt/message_writer.h"
#include "mtconnect/adapter_source.h"
#include "mtconnect/reporter.h"
#include "mtconnect/stop_signal.h"
#include "tools/metrics_option.h"
#include "tools/stop_signals.h"

namespace {

bool ConfigFromOptions(const MqttOptions& options, mqtt::BridgeConfig& config,
                       std::string& message) {
  if (!options.config_path.empty() &&
      !mqtt::LoadBridgeConfig(options.config_path, config, message)) {
    return false;
  }
  if (!options.broker.empty()) {
    std::string port;
    if (!mtconnect::ParseHostPort(options.broker, config.broker.host, port, message)) return false;
    config.broker.port = static_cast<uint16_t>(std::stoi(port));
  }
  if (!options.client_id.empty()) config.client_id = options.client_id;
  if (!options.prefix.empty()) config.prefix = options.prefix;
  if (options.reconnect_min_ms > 0) {
    config.reconnect_min = std::chrono::milliseconds(options.reconnect_min_ms);
  }
  if (options.reconnect_max_ms > 0) {
    config.reconnect_max = std::chrono::milliseconds(options.reconnect_max_ms);
  }
  return mqtt::CheckBridgeConfig(config, message);
}

}  // namespace

CLI::App* AddMqttCommand(CLI::App& app, MqttOptions& options) {
  CLI::App* command = app.add_subcommand(
      "mqtt", "Feed the MDC log from an MQTT broker: command topics and Sparkplug B devices");
  command->add_option("--config", options.config_path, "TOML file with the broker and devices")
      ->check(CLI::ExistingFile);
  command->add_option("--broker", options.broker, "Broker HOST:PORT (127.0.0.1:1883)");
  command->add_option("--client-id", options.client_id,
                      "Fixed client id; the broker keeps the session under it");
  command->add_option("--prefix", options.prefix,
                      "Command topics <prefix>/<machine>/commands (voltrane)");
  command
      ->add_option("--reconnect-min-ms", options.reconnect_min_ms,
                   "First wait before connecting again (1000)")
      ->check(CLI::PositiveNumber);
  command
      ->add_option("--reconnect-max-ms", options.reconnect_max_ms,
                   "Longest wait between connection attempts (60000)")
      ->check(CLI::PositiveNumber);
  command->add_option("--metrics", options.metrics_listen,
                      "Serve /metrics, /healthz and /readyz on HOST:PORT (\":PORT\": loopback)");
  command->footer(
      "A message is acknowledged once its rows are committed; a command's \"id\" (a Sparkplug "
      "message's device, seq and timestamp) is kept with them, so a message delivered again "
      "appends nothing.");
  return command;
}

int RunMqtt(const DatabaseChoice& choice, const MqttOptions& options, std::ostream& err) {
  mqtt::BridgeConfig config;
  std::string message;
  std::string password;
  if (!ConfigFromOptions(options, config, message) ||
      !mqtt::ReadPassword(config, password, message)) {
    err << message << "\n";
    return 1;
  }
  MetricsListen metrics_listen;
  if (!ParseMetricsOption(options.metrics_listen, metrics_listen, err)) return 1;
  if (!DatabaseReachable(choice, err)) return 1;

  mtconnect::StreamReporter reporter(err, std::getenv("JOURNAL_STREAM") != nullptr);
  mtconnect::StopSignal stop;
  sigset_t previous;
  const sigset_t signals = BlockStopSignals(previous);  // the bridge's thread inherits it

  // Started after the mask, so that its threads never take the signals.
  mqtt::BridgeCounters counters;
  metrics::Registry registry;
  mqtt::RegisterBridgeMetrics(registry, counters,
                              fmt::format("{}:{}", config.broker.host, config.broker.port));
  metrics::HealthServer health(registry, [&choice] { return DatabaseSilence(choice); });
  if (!StartMetrics(health, metrics_listen, reporter, err)) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return 1;
  }
  mqtt::MessageWriter writer(choice.connection_string, choice.database_type, reporter, stop);
  mqtt::MessageRouter router(config, writer, reporter, counters);
  std::thread bridge([&] { mqtt::RunBridge(config, password, router, reporter, counters, stop); });
  int signal_number = 0;
  while (signal_number <= 0) signal_number = sigwaitinfo(&signals, nullptr);
  reporter.Report(mtconnect::Severity::kInfo, fmt::format("Stopping on signal {}", signal_number));
  stop.Stop();
  bridge.join();
  reporter.Report(mtconnect::Severity::kInfo,
                  fmt::format("{} messages, {} commands written, {} delivered again, {} refused, "
                              "{} malformed, {} reconnects",
                              counters.messages.load(), counters.commands_written.load(),
                              counters.duplicates.load(), counters.refused.load(),
                              counters.malformed.load(), counters.reconnects.load()));
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return 0;
}
