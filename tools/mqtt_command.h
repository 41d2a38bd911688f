// `korvex7 mqtt`: the MQTT bridge. Subscribes to the command topics
// <prefix>/<machine>/commands and to the configured Sparkplug B devices, and
// commits each message's rows to the MDC log before acknowledging it. The
// broker and client id from the command line, or everything from a TOML
// file (--config). Runs until SIGINT or SIGTERM.
//
// Reports go to standard error, one line each (with journal priorities under
// systemd). Exit code 0 after a stop, 1 when the options or the
// configuration are wrong or the database cannot be reached at the start.
#ifndef VOLTRANE_TOOLS_MQTT_COMMAND_H_
#define VOLTRANE_TOOLS_MQTT_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "tools/tool_options.h"

struct MqttOptions {
  std::string config_path;
  std::string broker;
  std::string client_id;
  std::string prefix;
  int reconnect_min_ms = 0;  // 0 keeps the default
  int reconnect_max_ms = 0;
  std::string metrics_listen;  // "" : no /metrics
};

CLI::App* AddMqttCommand(CLI::App& app, MqttOptions& options);

int RunMqtt(const DatabaseChoice& choice, const MqttOptions& options, std::ostream& err);

#endif  // VOLTRANE_TOOLS_MQTT_COMMAND_H_
