// `korvex7 serve [--listen ADDRESS:PORT]`: runs the board's HTTP server (see
// web/board_server.h) on the chosen database until SIGTERM or SIGINT, then
// lets the requests in progress finish and exits 0. The address defaults to
// the settings store's `Listen` value, and that to 127.0.0.1:8080. One log
// line per request on standard output. Exit code 1 when it cannot listen.
#ifndef VOLTRANE_TOOLS_SERVE_COMMAND_H_
#define VOLTRANE_TOOLS_SERVE_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "tools/tool_options.h"

struct ServeOptions {
  std::string listen;  // "" for the settings store's
  std::string alerts_path;  // "": /etc/voltrane/alerts.toml when it exists, else no alerts
};

CLI::App* AddServeCommand(CLI::App& app, ServeOptions& options);

int RunServe(const DatabaseChoice& choice, const ServeOptions& options, std::ostream& out,
             std::ostream& err);

#endif  // VOLTRANE_TOOLS_SERVE_COMMAND_H_
