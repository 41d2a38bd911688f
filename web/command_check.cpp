#include "web/command_check.h"

#include <fmt/format.h>

namespace web {
namespace {

constexpr size_t kParam1Characters = 255;

// The checks that need no database, in the library's order.
std::optional<std::string> ShapeRefusal(const CommandRequest& command) {
  if (command.time_code < 0 || command.time_code > 2) return TimeCodeText();
  const size_t characters = Utf8Characters(command.param);
  if (characters > kParam1Characters) return ParamTooLongText(characters);
  return std::nullopt;
}

}  // namespace

std::string TimeCodeText() { return " CommandTypeCode must be 0 - start, 1 - end, or 2 - both"; }

std::string ParamTooLongText(size_t characters) {
  return fmt::format("The parameter is {} characters long; PARAM1 holds at most {}.", characters,
                     kParam1Characters);
}

std::string NoSuchMachineText(const std::string& machine_number) {
  return "No such machine: " + machine_number;
}

std::string NoSuchCommandTypeText(int32_t command_type_code) {
  return "No command with a COMMAND_TYPE_CODE of " + std::to_string(command_type_code);
}

size_t Utf8Characters(const std::string& text) {
  size_t count = 0;
  for (const char c : text) {
    // Continuation bytes of a multi-byte sequence look like 10xxxxxx.
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

std::optional<RefusedCommand> FirstRefusedCommand(const std::vector<CommandRequest>& commands,
                                                  ReferenceLookup& references) {
  for (size_t i = 0; i < commands.size(); ++i) {
    const CommandRequest& command = commands[i];
    if (auto text = ShapeRefusal(command)) return RefusedCommand{i, *text};
    if (!references.MachineExists(command.machine)) {
      return RefusedCommand{i, NoSuchMachineText(command.machine)};
    }
    if (!references.CommandTypeExists(command.type)) {
      return RefusedCommand{i, NoSuchCommandTypeText(command.type)};
    }
  }
  return std::nullopt;
}

}  // namespace web
