// The body of POST /api/v1/commands: one command object or an array of them,
// each {"machine": "101", "type": 9, "param": "...", "time_code": 0,
// "id": "...", "time": "2026-03-02T14:05:09.250"}.
//
// ParseCommandBody checks only the shape (JSON syntax, nesting depth, the
// number of commands, each field's presence and type) and names the field
// that is wrong; whether the machine and command exist is the intake's
// business. "param" may be omitted (no parameter) and "time_code" too (0,
// start); "id" is the client's key for sending the command again, "time" the
// local wall-clock time the command was made (YYYY-MM-DDTHH:MM:SS[.mmm]),
// for a client that recorded it while it could not send. A client that knows
// the machine otherwise (the MQTT bridge, from the topic) may leave "machine"
// out when BodyFields allows it. Pure function of its input; thread-safe.
// Never throws.
#ifndef VOLTRANE_WEB_COMMAND_BODY_H_
#define VOLTRANE_WEB_COMMAND_BODY_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbaccess/date_time.h"

namespace web {

struct CommandRequest {
  std::string machine;                     // MACHINE_NUMBER, as sent
  int32_t type = 0;                        // COMMAND_TYPE_CODE
  std::string param;                       // "" when none
  int32_t time_code = 0;                   // 0 start, 1 end, 2 both
  std::string client_id;                   // "" when none
  std::optional<dbaccess::DateTime> time;  // none: the database's time
};

struct BodyLimits {
  size_t max_depth = 4;         // an array of objects is depth 2
  size_t max_commands = 10000;  // per request
};

// Which fields beyond the HTTP intake's own a body may carry.
struct BodyFields {
  bool machine_optional = false;  // "machine" may be left out ("" then)
};

struct BodyError {
  std::string field;    // "machine", "[3].type", or "" for the body as a whole
  std::string message;  // for the client, names the field
};

struct ParsedBody {
  std::vector<CommandRequest> commands;  // in the order sent
  std::optional<BodyError> error;        // set when the body is refused
};

ParsedBody ParseCommandBody(std::string_view body, const BodyLimits& limits,
                            const BodyFields& fields = {});

}  // namespace web

#endif  // VOLTRANE_WEB_COMMAND_BODY_H_
