#include "library/handlers/handler_table.h"

#include <array>

namespace {

using H = CommandHandler;

struct Row {
  int32_t type_code;
  std::array<H, 3> by_time_code;  // start, end, both
};

constexpr std::array<Row, 14> kBuiltIn = {{
    {commandtype::kLogon, {H::kLogonStart, H::kLogonEnd, H::kNone}},
    {commandtype::kJob, {H::kJobStart, H::kJobEnd, H::kNone}},
    {commandtype::kPart, {H::kPartStart, H::kPartEnd, H::kNone}},
    {commandtype::kOperation, {H::kOpStart, H::kOpEnd, H::kNone}},
    {commandtype::kSetup, {H::kSetupStart, H::kSetupEnd, H::kNone}},
    {commandtype::kCycle, {H::kCycleStart, H::kCycleEnd, H::kNone}},
    {commandtype::kTeardown, {H::kTeardownStart, H::kTeardownEnd, H::kNone}},
    {commandtype::kMachineDowntime, {H::kMachineDowntimeStart, H::kMachineDowntimeEnd, H::kNone}},
    {commandtype::kUserDowntime, {H::kUserDowntimeStart, H::kUserDowntimeEnd, H::kNone}},
    // Counts and idle do not depend on the time code.
    {commandtype::kGoodPartCount, {H::kGoodPartCount, H::kGoodPartCount, H::kGoodPartCount}},
    {commandtype::kScrappedPartCount,
     {H::kScrappedPartCount, H::kScrappedPartCount, H::kScrappedPartCount}},
    {commandtype::kHeartbeat, {H::kHeartbeat, H::kHeartbeat, H::kHeartbeat}},
    {commandtype::kIdle, {H::kIdleStart, H::kIdleStart, H::kIdleStart}},
    {commandtype::kPartSerialNo, {H::kPartSerialNoStart, H::kPartSerialNoEnd, H::kNone}},
}};

constexpr std::array<H, 3> kCustom = {H::kCustomStart, H::kCustomEnd, H::kCustomBoth};

}  // namespace

CommandHandler HandlerForCommand(int32_t lCommandTypeCode, int32_t lCommandTimeCode) {
  if (lCommandTimeCode < 0 || lCommandTimeCode > 2) return H::kNone;
  for (const Row& row : kBuiltIn) {
    if (row.type_code == lCommandTypeCode) return row.by_time_code[lCommandTimeCode];
  }
  return kCustom[lCommandTimeCode];
}

const char* CommandHandlerName(CommandHandler handler) {
  switch (handler) {
    case H::kNone:
      return "";
    case H::kLogonStart:
      return "DoLogonStart";
    case H::kLogonEnd:
      return "DoLogonEnd";
    case H::kJobStart:
      return "DoJobStart";
    case H::kJobEnd:
      return "DoJobEnd";
    case H::kPartStart:
      return "DoPartStart";
    case H::kPartEnd:
      return "DoPartEnd";
    case H::kOpStart:
      return "DoOpStart";
    case H::kOpEnd:
      return "DoOpEnd";
    case H::kSetupStart:
      return "DoSetupStart";
    case H::kSetupEnd:
      return "DoSetupEnd";
    case H::kCycleStart:
      return "DoCycleStart";
    case H::kCycleEnd:
      return "DoCycleEnd";
    case H::kTeardownStart:
      return "DoTeardownStart";
    case H::kTeardownEnd:
      return "DoTeardownEnd";
    case H::kMachineDowntimeStart:
      return "DoMachineDowntimeStart";
    case H::kMachineDowntimeEnd:
      return "DoMachineDowntimeEnd";
    case H::kUserDowntimeStart:
      return "DoUserDowntimeStart";
    case H::kUserDowntimeEnd:
      return "DoUserDowntimeEnd";
    case H::kGoodPartCount:
      return "DoGoodPartCount";
    case H::kScrappedPartCount:
      return "DoScrappedPartCount";
    case H::kHeartbeat:
      return "DoProcessHeartBeatCommand";
    case H::kIdleStart:
      return "DoIdleStart";
    case H::kPartSerialNoStart:
      return "DoPartSerialNoStart";
    case H::kPartSerialNoEnd:
      return "DoPartSerialNoEnd";
    case H::kCustomStart:
      return "DoCustomStart";
    case H::kCustomEnd:
      return "DoCustomEnd";
    case H::kCustomBoth:
      return "DoCustomBoth";
  }
  return "";
}
