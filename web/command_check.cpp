#include "web/command_check.h"

namespace web {

std::optional<RefusedCommand> FirstRefusedCommand(const std::vector<CommandRequest>& commands,
                                                  ReferenceLookup& references) {
  for (size_t i = 0; i < commands.size(); ++i) {
    const CommandRequest& command = commands[i];
    if (auto refusal =
            korvex7::CheckCommandValues(command.time_code, command.param, command.client_id)) {
      return RefusedCommand{i, *refusal};
    }
    if (!references.MachineExists(command.machine)) {
      return RefusedCommand{i, korvex7::NoSuchMachineRefusal(command.machine)};
    }
    if (!references.CommandTypeExists(command.type)) {
      return RefusedCommand{i, korvex7::NoSuchCommandTypeRefusal(command.type)};
    }
  }
  return std::nullopt;
}

}  // namespace web
