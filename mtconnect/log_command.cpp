#include "mtconnect/log_command.h"

#include <fmt/format.h>

namespace mtconnect {

std::string DescribeCommand(const LogCommand& command) {
  const char* name = command.type_code == kLogonCommand             ? "logon"
                     : command.type_code == kJobCommand             ? "job"
                     : command.type_code == kPartCommand            ? "part"
                     : command.type_code == kCycleCommand           ? "cycle"
                     : command.type_code == kMachineDowntimeCommand ? "machine downtime"
                     : command.type_code == kGoodCountCommand       ? "good part count"
                                                                    : "command";
  const char* when = command.type_code == kGoodCountCommand ? ""
                     : command.time_code == kStartCode      ? " start"
                     : command.time_code == kEndCode        ? " end"
                                                            : "";
  if (command.param.empty()) return fmt::format("{}{}", name, when);
  return fmt::format("{}{} \"{}\"", name, when, command.param);
}

}  // namespace mtconnect
