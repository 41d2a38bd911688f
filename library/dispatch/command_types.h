// The command type codes of T_SFC_COMMAND (COMMAND_TYPE_CODE) as the
// library's handlers and tables compare them: plain integers taken from the
// public vocabulary (korvex7_commands.h), which alone defines the numbers.
// Codes 4 to 17 are the built-in commands; any other code is a custom
// command. Plain constants; thread-safe.
#ifndef VOLTRANE_LIBRARY_COMMAND_TYPES_H_
#define VOLTRANE_LIBRARY_COMMAND_TYPES_H_

#include <cstdint>

#include "library/korvex7_commands.h"

namespace korvex7::internal {

// Command type codes of T_SFC_COMMAND.
namespace commandtype {
using korvex7::CommandType;
inline constexpr int32_t kLogon = korvex7::Code(CommandType::kLogon);
inline constexpr int32_t kJob = korvex7::Code(CommandType::kJob);
inline constexpr int32_t kPart = korvex7::Code(CommandType::kPart);
inline constexpr int32_t kOperation = korvex7::Code(CommandType::kOperation);
inline constexpr int32_t kSetup = korvex7::Code(CommandType::kSetup);
inline constexpr int32_t kCycle = korvex7::Code(CommandType::kCycle);
inline constexpr int32_t kTeardown = korvex7::Code(CommandType::kTeardown);
inline constexpr int32_t kMachineDowntime = korvex7::Code(CommandType::kMachineDowntime);
inline constexpr int32_t kUserDowntime = korvex7::Code(CommandType::kUserDowntime);
inline constexpr int32_t kGoodPartCount = korvex7::Code(CommandType::kGoodPartCount);
inline constexpr int32_t kScrappedPartCount = korvex7::Code(CommandType::kScrappedPartCount);
inline constexpr int32_t kHeartbeat = korvex7::Code(CommandType::kHeartbeat);
inline constexpr int32_t kIdle = korvex7::Code(CommandType::kIdle);
inline constexpr int32_t kPartSerialNo = korvex7::Code(CommandType::kPartSerialNo);
}  // namespace commandtype

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_COMMAND_TYPES_H_
