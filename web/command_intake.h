// Appends a checked batch of commands, in order, through the library's
// AppendCommand (_CKorvex7Obj3): one log row per command, with the
// database's time as AppendItemToMDCLog2 appends it, or with the command's own
// time, which the library checks (not ahead of the database's clock, not
// older than what the machine recorded). A command whose client id was
// appended before appends nothing and counts as a duplicate.
//
// The library appends each row in its own statement and offers no
// transaction around several calls, so "all or none" rests on the check that
// runs first (command_check.h): a batch that passed it fails part-way only
// when the database itself fails for longer than the library's retries, or a
// machine is removed meanwhile. The outcome then says how many rows were
// appended before the failure, so the client can resend the rest. A time
// the library refuses is such a part-way failure too, with its refusal.
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
  size_t appended = 0;                 // rows appended
  size_t duplicates = 0;               // commands whose client id was appended before
  std::optional<std::string> failure;  // the library's text for command appended + duplicates
  korvex7::Refusal refusal = korvex7::Refusal::kNone;  // which rule, when a rule refused it
};

// Never throws: an escaping library failure becomes the failure text.
IntakeOutcome AppendCommands(_CKorvex7Obj3& intake, const std::vector<CommandRequest>& commands);

}  // namespace web

#endif  // VOLTRANE_WEB_COMMAND_INTAKE_H_
