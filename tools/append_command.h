// `korvex7 append --machine NUMBER --type CODE [--param TEXT] [--time-code N]`:
// queues one command in the MDC log through the library's AppendCommand
// (AppendItemToMDCLog2's way), as a machine monitor or DNC client would. The library
// refuses a time code outside 0 to 2, an unknown machine or type code and an
// over-long parameter with its own texts, which the tool prints. Exit code 0
// when the row was appended, 1 otherwise.
#ifndef VOLTRANE_TOOLS_APPEND_COMMAND_H_
#define VOLTRANE_TOOLS_APPEND_COMMAND_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <ostream>
#include <string>

#include "tools/tool_options.h"

struct AppendOptions {
  std::string machine_number;
  int32_t command_type_code = 0;
  std::string param;
  int32_t command_time_code = 0;
};

CLI::App* AddAppendCommand(CLI::App& app, AppendOptions& options);

int RunAppend(const DatabaseChoice& choice, const AppendOptions& options, std::ostream& out,
              std::ostream& err);

#endif  // VOLTRANE_TOOLS_APPEND_COMMAND_H_
