// The command type codes of T_SFC_COMMAND (COMMAND_TYPE_CODE): the one set
// of these numbers for the library, its tools and its tests. Codes 4 to 17
// are the built-in commands; any other code is a custom command. Plain
// constants; thread-safe.
#ifndef VOLTRANE_LIBRARY_COMMAND_TYPES_H_
#define VOLTRANE_LIBRARY_COMMAND_TYPES_H_

#include <cstdint>

// Command type codes of T_SFC_COMMAND.
namespace commandtype {
inline constexpr int32_t kLogon = 4;
inline constexpr int32_t kJob = 5;
inline constexpr int32_t kPart = 6;
inline constexpr int32_t kOperation = 7;
inline constexpr int32_t kSetup = 8;
inline constexpr int32_t kCycle = 9;
inline constexpr int32_t kTeardown = 10;
inline constexpr int32_t kMachineDowntime = 11;
inline constexpr int32_t kUserDowntime = 12;
inline constexpr int32_t kGoodPartCount = 13;
inline constexpr int32_t kScrappedPartCount = 14;
inline constexpr int32_t kHeartbeat = 15;
inline constexpr int32_t kIdle = 16;
inline constexpr int32_t kPartSerialNo = 17;
}  // namespace commandtype

#endif  // VOLTRANE_LIBRARY_COMMAND_TYPES_H_
