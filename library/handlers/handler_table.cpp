#include "library/handlers/handler_table.h"

#include <array>

#include "library/dispatch/command_types.h"
#include "library/handlers/handlers.h"

namespace {

using H = Handlers;

constexpr CommandHandler kLogonStart{"DoLogonStart", &H::DoLogonStart};
constexpr CommandHandler kLogonEnd{"DoLogonEnd", &H::DoLogonEnd};
constexpr CommandHandler kJobStart{"DoJobStart", &H::DoJobStart};
constexpr CommandHandler kJobEnd{"DoJobEnd", &H::DoJobEnd};
constexpr CommandHandler kPartStart{"DoPartStart", &H::DoPartStart};
constexpr CommandHandler kPartEnd{"DoPartEnd", &H::DoPartEnd};
constexpr CommandHandler kOpStart{"DoOpStart", &H::DoOpStart};
constexpr CommandHandler kOpEnd{"DoOpEnd", &H::DoOpEnd};
constexpr CommandHandler kSetupStart{"DoSetupStart", &H::DoSetupStart};
constexpr CommandHandler kSetupEnd{"DoSetupEnd", &H::DoSetupEnd};
constexpr CommandHandler kCycleStart{"DoCycleStart", &H::DoCycleStart};
constexpr CommandHandler kCycleEnd{"DoCycleEnd", &H::DoCycleEnd};
constexpr CommandHandler kTeardownStart{"DoTeardownStart", &H::DoTeardownStart};
constexpr CommandHandler kTeardownEnd{"DoTeardownEnd", &H::DoTeardownEnd};
constexpr CommandHandler kMachineDowntimeStart{"DoMachineDowntimeStart",
                                               &H::DoMachineDowntimeStart};
constexpr CommandHandler kMachineDowntimeEnd{"DoMachineDowntimeEnd", &H::DoMachineDowntimeEnd};
constexpr CommandHandler kUserDowntimeStart{"DoUserDowntimeStart", &H::DoUserDowntimeStart};
constexpr CommandHandler kUserDowntimeEnd{"DoUserDowntimeEnd", &H::DoUserDowntimeEnd};
constexpr CommandHandler kGoodPartCount{"DoGoodPartCount", &H::DoGoodPartCount};
constexpr CommandHandler kScrappedPartCount{"DoScrappedPartCount", &H::DoScrappedPartCount};
constexpr CommandHandler kHeartbeat{"DoProcessHeartBeatCommand", &H::DoProcessHeartBeatCommand};
constexpr CommandHandler kIdleStart{"DoIdleStart", &H::DoIdleStart};
constexpr CommandHandler kPartSerialNoStart{"DoPartSerialNoStart", &H::DoPartSerialNoStart};
constexpr CommandHandler kPartSerialNoEnd{"DoPartSerialNoEnd", &H::DoPartSerialNoEnd};
constexpr CommandHandler kCustomStart{"DoCustomStart", &H::DoCustomStart};
constexpr CommandHandler kCustomEnd{"DoCustomEnd", &H::DoCustomEnd};
constexpr CommandHandler kCustomBoth{"DoCustomBoth", &H::DoCustomBoth};

struct Row {
  int32_t type_code;
  std::array<const CommandHandler*, 3> by_time_code;  // start, end, both
};

constexpr std::array<Row, 14> kBuiltIn = {{
    {commandtype::kLogon, {&kLogonStart, &kLogonEnd, nullptr}},
    {commandtype::kJob, {&kJobStart, &kJobEnd, nullptr}},
    {commandtype::kPart, {&kPartStart, &kPartEnd, nullptr}},
    {commandtype::kOperation, {&kOpStart, &kOpEnd, nullptr}},
    {commandtype::kSetup, {&kSetupStart, &kSetupEnd, nullptr}},
    {commandtype::kCycle, {&kCycleStart, &kCycleEnd, nullptr}},
    {commandtype::kTeardown, {&kTeardownStart, &kTeardownEnd, nullptr}},
    {commandtype::kMachineDowntime, {&kMachineDowntimeStart, &kMachineDowntimeEnd, nullptr}},
    {commandtype::kUserDowntime, {&kUserDowntimeStart, &kUserDowntimeEnd, nullptr}},
    // Counts and idle do not depend on the time code.
    {commandtype::kGoodPartCount, {&kGoodPartCount, &kGoodPartCount, &kGoodPartCount}},
    {commandtype::kScrappedPartCount,
     {&kScrappedPartCount, &kScrappedPartCount, &kScrappedPartCount}},
    {commandtype::kHeartbeat, {&kHeartbeat, &kHeartbeat, &kHeartbeat}},
    {commandtype::kIdle, {&kIdleStart, &kIdleStart, &kIdleStart}},
    {commandtype::kPartSerialNo, {&kPartSerialNoStart, &kPartSerialNoEnd, nullptr}},
}};

constexpr std::array<const CommandHandler*, 3> kCustom = {&kCustomStart, &kCustomEnd, &kCustomBoth};

}  // namespace

const CommandHandler* HandlerForCommand(int32_t lCommandTypeCode, int32_t lCommandTimeCode) {
  if (lCommandTimeCode < 0 || lCommandTimeCode > 2) return nullptr;
  for (const Row& row : kBuiltIn) {
    if (row.type_code == lCommandTypeCode) return row.by_time_code[lCommandTimeCode];
  }
  return kCustom[lCommandTimeCode];
}
