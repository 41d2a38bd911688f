// The handler table: which command handler a log row calls, chosen by the
// type code of its command and its time code (0 start, 1 end, 2 both);
// Handlers::RunCommand (run_command.cpp) calls the handler it names. Type
// codes 4 to 17 are the built-in commands; every other code is a custom
// command, which is nothing but an event. A pair without a handler (a setup
// with time code 2, any unknown time code) calls nothing. Pure functions;
// thread-safe.
#ifndef VOLTRANE_LIBRARY_HANDLERS_HANDLER_TABLE_H_
#define VOLTRANE_LIBRARY_HANDLERS_HANDLER_TABLE_H_

#include <cstdint>

#include "library/dispatch/command_types.h"

enum class CommandHandler {
  kNone,
  kLogonStart,
  kLogonEnd,
  kJobStart,
  kJobEnd,
  kPartStart,
  kPartEnd,
  kOpStart,
  kOpEnd,
  kSetupStart,
  kSetupEnd,
  kCycleStart,
  kCycleEnd,
  kTeardownStart,
  kTeardownEnd,
  kMachineDowntimeStart,
  kMachineDowntimeEnd,
  kUserDowntimeStart,
  kUserDowntimeEnd,
  kGoodPartCount,
  kScrappedPartCount,
  kHeartbeat,  // the sign of life was recorded before dispatch; only traced
  kIdleStart,
  kPartSerialNoStart,
  kPartSerialNoEnd,
  kCustomStart,
  kCustomEnd,
  kCustomBoth,
};

CommandHandler HandlerForCommand(int32_t lCommandTypeCode, int32_t lCommandTimeCode);

// The handler's name as the trace shows it ("DoCycleStart",
// "DoProcessHeartBeatCommand"); "" for kNone.
const char* CommandHandlerName(CommandHandler handler);

#endif  // VOLTRANE_LIBRARY_HANDLERS_HANDLER_TABLE_H_
