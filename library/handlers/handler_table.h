// The handler table: which handler a log row calls, chosen by the type code
// of its command and its time code (0 start, 1 end, 2 both); each handler is
// one function of the one signature over a command context, and
// Handlers::RunCommand (run_command.cpp) calls the one the table names.
// Type codes 4 to 17 are the built-in commands; every other code is a custom
// command, which is nothing but an event. A pair without a handler (a setup
// with time code 2, any unknown time code) calls nothing. Pure functions;
// thread-safe.
#ifndef VOLTRANE_LIBRARY_HANDLERS_HANDLER_TABLE_H_
#define VOLTRANE_LIBRARY_HANDLERS_HANDLER_TABLE_H_

#include <cstdint>
#include <string>

namespace korvex7::internal {

class Handlers;
struct CommandContext;

// Every handler's signature, called on the handlers of the session: true on
// success, false with strError set (an empty text: the cycle status lock
// filtered the command).
using HandlerFunction = bool (*)(Handlers& handlers, const CommandContext& command,
                                 std::string& strError);

struct CommandHandler {
  const char* name;  // as the trace shows it ("DoCycleStart", "DoProcessHeartBeatCommand")
  HandlerFunction run;
};

// The handler of the pair; nullptr when it has none.
const CommandHandler* HandlerForCommand(int32_t lCommandTypeCode, int32_t lCommandTimeCode);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_HANDLERS_HANDLER_TABLE_H_
