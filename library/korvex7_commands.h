// The command vocabulary of the MDC log, shared by every program that
// appends rows to it (the library's own intake, the HTTP intake, the
// MTConnect bridge, the plant simulator): the command type codes and time
// codes, the rules a command must keep, and the refusal, a value with its
// one text, that a command breaking a rule gets. The texts are the
// library's own and reach users unchanged; callers act on the Refusal
// value, never on the text.
//
// Header only, so that clients of libkorvex7.so use it without any symbol
// of the library. Pure functions; thread-safe.
#ifndef VOLTRANE_LIBRARY_KORVEX7_COMMANDS_H_
#define VOLTRANE_LIBRARY_KORVEX7_COMMANDS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "dbaccess/date_time.h"

namespace korvex7 {

// COMMAND_TYPE_CODE of T_SFC_COMMAND: 4 to 17 are the built-in commands;
// a plant's custom commands take any other code, which this type holds too.
enum class CommandType : int32_t {
  kLogon = 4,
  kJob = 5,
  kPart = 6,
  kOperation = 7,
  kSetup = 8,
  kCycle = 9,
  kTeardown = 10,
  kMachineDowntime = 11,
  kUserDowntime = 12,
  kGoodPartCount = 13,
  kScrappedPartCount = 14,
  kHeartbeat = 15,
  kIdle = 16,
  kPartSerialNo = 17,
};

// COMMAND_TIME_CODE of a log row.
enum class TimeCode : int32_t { kStart = 0, kEnd = 1, kBoth = 2 };

constexpr int32_t Code(CommandType type) { return static_cast<int32_t>(type); }
constexpr int32_t Code(TimeCode time) { return static_cast<int32_t>(time); }

constexpr bool IsBuiltIn(int32_t type_code) {
  return type_code >= Code(CommandType::kLogon) && type_code <= Code(CommandType::kPartSerialNo);
}

// Characters PARAM1 holds on every kind.
inline constexpr size_t kParamCharacters = 255;
// Characters a client id may have (the key a retrying client sends again).
inline constexpr size_t kClientIdCharacters = 64;

// Why a command was not appended. kNone: it was not refused.
enum class Refusal : int32_t {
  kNone = 0,
  kTimeCode = 1,           // time code outside 0 to 2
  kParamTooLong = 2,       // more characters than PARAM1 holds
  kClientIdTooLong = 3,    // more characters than a client id may have
  kNoSuchMachine = 4,      // no machine with that MACHINE_NUMBER
  kNoSuchCommandType = 5,  // no command with that COMMAND_TYPE_CODE
  kNoGroupOrLocation = 6,  // the machine's group or location is missing
  kTimeAhead = 7,          // a given time later than the database's by more than kTimeAheadSeconds
  kTimeBeforeRecorded = 8,  // a given time older than the machine's latest row or record
};

// How far a given time may lie after the database's (clocks differ a little).
inline constexpr int kTimeAheadSeconds = 5;

// A refusal and its text for the user.
struct CommandRefusal {
  Refusal reason = Refusal::kNone;
  std::string text;

  bool operator==(const CommandRefusal&) const = default;
};

// Characters (code points) of a UTF-8 text, as a character column counts them.
inline size_t CharacterCount(const std::string& text) {
  size_t count = 0;
  for (const char c : text) {
    // Continuation bytes of a multi-byte sequence look like 10xxxxxx.
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

// The refusals, each with its one text.
inline CommandRefusal TimeCodeRefusal() {
  return {Refusal::kTimeCode, " CommandTypeCode must be 0 - start, 1 - end, or 2 - both"};
}
inline CommandRefusal ParamTooLongRefusal(size_t characters) {
  return {Refusal::kParamTooLong, "The parameter is " + std::to_string(characters) +
                                      " characters long; PARAM1 holds at most " +
                                      std::to_string(kParamCharacters) + "."};
}
inline CommandRefusal ClientIdTooLongRefusal(size_t characters) {
  return {Refusal::kClientIdTooLong, "The client id is " + std::to_string(characters) +
                                         " characters long; at most " +
                                         std::to_string(kClientIdCharacters) + " are kept."};
}
inline CommandRefusal NoSuchMachineRefusal(const std::string& machine_number) {
  return {Refusal::kNoSuchMachine, "No such machine: " + machine_number};
}
inline CommandRefusal NoSuchCommandTypeRefusal(int32_t type_code) {
  return {Refusal::kNoSuchCommandType,
          "No command with a COMMAND_TYPE_CODE of " + std::to_string(type_code)};
}
inline CommandRefusal NoGroupOrLocationRefusal(const std::string& machine_number) {
  return {Refusal::kNoGroupOrLocation, "Machine " + machine_number + " has no group or location"};
}

inline CommandRefusal TimeAheadRefusal(const dbaccess::DateTime& time,
                                       const dbaccess::DateTime& database_time) {
  return {Refusal::kTimeAhead, "The time " + time.ToText() + " lies more than " +
                                   std::to_string(kTimeAheadSeconds) +
                                   " seconds after the database's time " + database_time.ToText()};
}
inline CommandRefusal TimeBeforeRecordedRefusal(const std::string& machine_number,
                                                const dbaccess::DateTime& time,
                                                const dbaccess::DateTime& latest) {
  return {Refusal::kTimeBeforeRecorded, "The time " + time.ToText() + " is older than what machine " +
                                            machine_number + " has recorded (" + latest.ToText() +
                                            ")"};
}

// The rules that need no database, in the order the intake applies them:
// the time code, the parameter's length, the client id's length.
inline std::optional<CommandRefusal> CheckCommandValues(int32_t time_code,
                                                        const std::string& param,
                                                        const std::string& client_id = "") {
  if (time_code < Code(TimeCode::kStart) || time_code > Code(TimeCode::kBoth)) {
    return TimeCodeRefusal();
  }
  if (const size_t characters = CharacterCount(param); characters > kParamCharacters) {
    return ParamTooLongRefusal(characters);
  }
  if (const size_t characters = CharacterCount(client_id); characters > kClientIdCharacters) {
    return ClientIdTooLongRefusal(characters);
  }
  return std::nullopt;
}

// One command for the log, named by machine number and type code.
struct Command {
  std::string machine_number;               // MACHINE_NUMBER
  int32_t type_code = 0;                    // COMMAND_TYPE_CODE
  std::string param;                        // PARAM1, "" for none (stored as null)
  int32_t time_code = Code(TimeCode::kStart);
  std::optional<dbaccess::DateTime> time;   // local wall-clock time; none: the database's
  std::string client_id;                    // "" for none; else appended at most once

  bool operator==(const Command&) const = default;
};

enum class AppendStatus {
  kAppended,   // one row is in the log
  kDuplicate,  // the client id was appended before: nothing appended
  kRefused,    // the command breaks a rule: `refusal` says which
  kFailed,     // the database failed: `text` says how; the command may be sent again
};

struct AppendResult {
  AppendStatus status = AppendStatus::kFailed;
  CommandRefusal refusal;  // set when kRefused
  std::string text;        // the refusal's or the failure's text, "" otherwise

  static AppendResult Appended() { return {AppendStatus::kAppended, {}, ""}; }
  static AppendResult Duplicate() { return {AppendStatus::kDuplicate, {}, ""}; }
  static AppendResult Refused(CommandRefusal refusal) {
    std::string text = refusal.text;
    return {AppendStatus::kRefused, std::move(refusal), std::move(text)};
  }
  static AppendResult Failed(std::string text) {
    return {AppendStatus::kFailed, {}, std::move(text)};
  }
};

// What the last DoNextItemFromMDCLog call did.
enum class ItemOutcome : int32_t {
  kProcessed = 0,          // a row went through and left the log
  kLogEmpty = 1,           // no row was waiting
  kRemovedOutOfOrder = 2,  // a row older than its machine's records was removed from the log
  kNoProgress = 3,         // a note, a warning, a failed row or a failure: no row left the log
};

}  // namespace korvex7

#endif  // VOLTRANE_LIBRARY_KORVEX7_COMMANDS_H_
