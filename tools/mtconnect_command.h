// `korvex7 mtconnect`: the MTConnect bridge. Each machine's stream (a live
// SHDR adapter, a recorded file or an MTConnect agent) becomes commands in
// the MDC log, each inserted as one row with its observation's time. One
// machine from the command line, or several from a TOML file (--config);
// each runs on its own thread with its own connection. Runs until SIGINT or
// SIGTERM, or until every replayed file is done.
//
// Reports go to standard error, one line each (with journal priorities under
// systemd). Exit code 0 after a clean run, 1 when the options or the
// configuration are wrong, the database cannot be reached at the start or a
// replay file cannot be read (a database lost later is waited for).
#ifndef VOLTRANE_TOOLS_MTCONNECT_COMMAND_H_
#define VOLTRANE_TOOLS_MTCONNECT_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "tools/tool_options.h"

struct MtconnectOptions {
  std::string config_path;
  std::string machine_number;
  std::string adapter;
  std::string replay;
  double speed = 1.0;
  std::string agent;
  std::string device;
  std::string items;
  bool job = false;
  std::string downtime_code;
  std::string estop_downtime_code;
  int silence_timeout = 0;  // seconds; 0 keeps the default
  int retry_max = 0;        // seconds; 0 keeps the default
  std::string metrics_listen;  // "": no metrics listener
};

CLI::App* AddMtconnectCommand(CLI::App& app, MtconnectOptions& options);

int RunMtconnect(const DatabaseChoice& choice, const MtconnectOptions& options, std::ostream& err);

#endif  // VOLTRANE_TOOLS_MTCONNECT_COMMAND_H_
