// The command-line scan.
#include "service/command_line.h"

#include <strings.h>

namespace voltrane {
namespace {

bool Matches(const std::string& candidate, const char* name) {
  return strcasecmp(candidate.c_str(), name) == 0;
}

}  // namespace

CommandLineScan ScanCommandLine(const std::string& command_line) {
  CommandLineScan scan;
  for (size_t at = command_line.find_first_of("-/"); at != std::string::npos;
       at = command_line.find_first_of("-/", at + 1)) {
    const std::string candidate = command_line.substr(at + 1);
    if (Matches(candidate, "UnregServer")) {
      scan.action = CommandLineAction::kUnregServer;
      return scan;
    }
    if (Matches(candidate, "RegServer")) {
      scan.action = CommandLineAction::kRegServer;
      return scan;
    }
    if (Matches(candidate, "Service")) {
      scan.action = CommandLineAction::kService;
      return scan;
    }
    if (Matches(candidate, "NoConsole")) scan.no_console = true;
  }
  return scan;
}

std::string JoinCommandLine(int argc, const char* const* argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) line += ' ';
    line += argv[i];
  }
  return line;
}

}  // namespace voltrane
