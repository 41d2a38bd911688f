// Appends a checked batch of commands, in order, through the library's
// AppendCommand (_CKorvex7Obj3): one log row per command, each with the
// database's time, as AppendItemToMDCLog2 appends it.
//
// The library appends each row in its own statement and offers no
// transaction around several calls, so "all or none" rests on the check that
// runs first (command_check.h): a batch that passed it fails part-way only
// when the database itself fails for longer than the library's retries, or a
// machine is removed meanwhile. The outcome then says how many rows were
// appended before the failure, so the client can resend the rest.
#ifndef VOLTRANE_WEB_COMMAND_INTAKE_H_
#define VOLTRANE_WEB_COMMAND_INTAKE_H_

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "library/korvex7.h"
#include "web/command_body.h"

namespace web {

struct IntakeOutcome {
  size_t appended = 0;                 // rows appended, the first ones of the batch
  std::optional<std::string> failure;  // the library's text for command `appended`
  korvex7::Refusal refusal = korvex7::Refusal::kNone;  // which rule, when a rule refused it
};

// Never throws: an escaping library failure becomes the failure text.
IntakeOutcome AppendCommands(_CKorvex7Obj3& intake, const std::vector<CommandRequest>& commands);

}  // namespace web

#endif  // VOLTRANE_WEB_COMMAND_INTAKE_H_
