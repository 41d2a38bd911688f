// Scanning of the collector's command line. The whole line (program path
// included) is searched for "-" and "/"; each starts a candidate running to
// the end of the line, compared without regard to case with "UnregServer",
// "RegServer", "Service" and "NoConsole" in that order. So a switch counts
// only as the last word of the line; "NoConsole" is noted and the scan goes
// on, the first registration switch ends it. Pure functions.
#ifndef VOLTRANE_SERVICE_COMMAND_LINE_H_
#define VOLTRANE_SERVICE_COMMAND_LINE_H_

#include <string>

namespace voltrane {

enum class CommandLineAction { kStart, kUnregServer, kRegServer, kService };

struct CommandLineScan {
  CommandLineAction action = CommandLineAction::kStart;
  bool no_console = false;
};

CommandLineScan ScanCommandLine(const std::string& command_line);

// The arguments joined by single blanks, as the system hands a program its command line.
std::string JoinCommandLine(int argc, const char* const* argv);

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_COMMAND_LINE_H_
