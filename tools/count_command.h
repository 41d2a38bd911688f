// `korvex7 count`: prints the number of rows waiting in the MDC log, as the
// library's GetMDCLogCount answers it. Exit code 0, or 1 when the count
// cannot be read.
#ifndef VOLTRANE_TOOLS_COUNT_COMMAND_H_
#define VOLTRANE_TOOLS_COUNT_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>

#include "tools/tool_options.h"

CLI::App* AddCountCommand(CLI::App& app);

int RunCount(const DatabaseChoice& choice, std::ostream& out, std::ostream& err);

#endif  // VOLTRANE_TOOLS_COUNT_COMMAND_H_
