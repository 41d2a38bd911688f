// `korvex7 connect`: creates the library object through its factory, connects
// it to the chosen database as the collector service would, and probes the
// connection. Prints one line; exit code 0 when connected, 1 otherwise.
// Connecting keeps the library's retry rules: an unreachable server is
// retried for up to 5 minutes, any other failure returns after one 5 s wait.
#ifndef VOLTRANE_TOOLS_CONNECT_COMMAND_H_
#define VOLTRANE_TOOLS_CONNECT_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>

#include "tools/tool_options.h"

CLI::App* AddConnectCommand(CLI::App& app);

int RunConnect(const DatabaseChoice& choice, std::ostream& out, std::ostream& err);

#endif  // VOLTRANE_TOOLS_CONNECT_COMMAND_H_
