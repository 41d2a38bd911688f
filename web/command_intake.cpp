#include "web/command_intake.h"

#include <fmt/format.h>

#include "library/com_error.h"

namespace web {

IntakeOutcome AppendCommands(_CKorvex7Obj3& intake, const std::vector<CommandRequest>& commands) {
  IntakeOutcome outcome;
  for (const CommandRequest& command : commands) {
    try {
      const korvex7::AppendResult result =
          intake.AppendCommand({command.machine, command.type, command.param, command.time_code,
                                command.time, command.client_id});
      if (result.status == korvex7::AppendStatus::kDuplicate) {
        ++outcome.duplicates;
        continue;
      }
      if (result.status != korvex7::AppendStatus::kAppended) {
        outcome.failure = result.text;
        outcome.refusal = result.refusal.reason;
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
