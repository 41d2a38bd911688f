// Checks a batch of commands before any of them is appended, so that a batch
// the library would refuse part-way is refused whole.
//
// The rules and texts are the library's command vocabulary
// (library/korvex7_commands.h: time code 0 to 2, PARAM1 at most 255
// characters, a machine with that MACHINE_NUMBER, a command with that
// COMMAND_TYPE_CODE), so a client sees the same words whether a command was
// refused here or by the library. The first refused command wins.
// Thread-safe when `references` is.
#ifndef VOLTRANE_WEB_COMMAND_CHECK_H_
#define VOLTRANE_WEB_COMMAND_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "library/korvex7_commands.h"
#include "web/command_body.h"

namespace web {

// What exists in the database; answers may come from a cache.
class ReferenceLookup {
 public:
  virtual ~ReferenceLookup() = default;
  virtual bool MachineExists(const std::string& machine_number) = 0;
  virtual bool CommandTypeExists(int32_t command_type_code) = 0;
};

struct RefusedCommand {
  size_t index = 0;                 // position in the batch
  korvex7::CommandRefusal refusal;  // which rule, with the library's text
};

// The first command the library would refuse, or nothing.
std::optional<RefusedCommand> FirstRefusedCommand(const std::vector<CommandRequest>& commands,
                                                  ReferenceLookup& references);

}  // namespace web

#endif  // VOLTRANE_WEB_COMMAND_CHECK_H_
