#include "web/command_intake.h"

#include <fmt/format.h>

#include "library/com_error.h"

namespace web {

IntakeOutcome AppendCommands(_CKorvex7Obj& intake, const std::vector<CommandRequest>& commands) {
  IntakeOutcome outcome;
  for (const CommandRequest& command : commands) {
    std::string error;
    try {
      if (!intake.AppendItemToMDCLog2(command.machine, command.type, command.param,
                                      command.time_code, error)) {
        outcome.failure = error;
        return outcome;
      }
    } catch (const ComError& raised) {
      outcome.failure = fmt::format("Error # {}:{}", raised.number(), raised.description());
      return outcome;
    }
    ++outcome.appended;
  }
  return outcome;
}

}  // namespace web
