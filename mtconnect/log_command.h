// A command for the MDC log as the mapping decides it: command type code,
// time code, parameter and the moment it happened (UTC). The log writer turns
// it into a row of the machine's log. A plain value.
#ifndef VOLTRANE_MTCONNECT_LOG_COMMAND_H_
#define VOLTRANE_MTCONNECT_LOG_COMMAND_H_

#include <cstdint>
#include <string>

#include "library/korvex7_commands.h"

namespace mtconnect {

// The command type codes the mapping uses, named for the mapping.
inline constexpr int32_t kLogonCommand = korvex7::Code(korvex7::CommandType::kLogon);
inline constexpr int32_t kJobCommand = korvex7::Code(korvex7::CommandType::kJob);
inline constexpr int32_t kPartCommand = korvex7::Code(korvex7::CommandType::kPart);
inline constexpr int32_t kCycleCommand = korvex7::Code(korvex7::CommandType::kCycle);
inline constexpr int32_t kMachineDowntimeCommand =
    korvex7::Code(korvex7::CommandType::kMachineDowntime);
inline constexpr int32_t kGoodCountCommand = korvex7::Code(korvex7::CommandType::kGoodPartCount);

// Time codes: start, end, both.
inline constexpr int32_t kStartCode = korvex7::Code(korvex7::TimeCode::kStart);
inline constexpr int32_t kEndCode = korvex7::Code(korvex7::TimeCode::kEnd);
inline constexpr int32_t kBothCode = korvex7::Code(korvex7::TimeCode::kBoth);

struct LogCommand {
  int32_t type_code = 0;
  int32_t time_code = kStartCode;
  std::string param;
  int64_t utc_ms = 0;

  bool operator==(const LogCommand&) const = default;
};

// "cycle start", "good part count", ...: for reports.
std::string DescribeCommand(const LogCommand& command);

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_LOG_COMMAND_H_
