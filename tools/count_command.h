// `korvex7 count [--failing]`: prints the number of rows waiting in the MDC
// log, as the library's GetMDCLogCount answers it; with --failing, the rows
// waiting that failed at least once instead (failing_rows.h). Exit code 0, or
// 1 when the count cannot be read.
#ifndef VOLTRANE_TOOLS_COUNT_COMMAND_H_
#define VOLTRANE_TOOLS_COUNT_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>

#include "tools/tool_options.h"

struct CountOptions {
  bool failing = false;
};

CLI::App* AddCountCommand(CLI::App& app, CountOptions& options);

int RunCount(const DatabaseChoice& choice, const CountOptions& options, std::ostream& out,
             std::ostream& err);

#endif  // VOLTRANE_TOOLS_COUNT_COMMAND_H_
