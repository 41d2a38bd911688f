#include "library/handlers/handler_table.h"

#include <array>

#include "library/dispatch/command_types.h"
#include "library/handlers/handlers.h"

namespace korvex7::internal {

namespace {

using H = Handlers;

// Calls one group's handler on the handlers of the session.
template <auto group, auto handler>
bool Run(Handlers& handlers, const CommandContext& command, std::string& strError) {
  return ((handlers.*group).*handler)(command, strError);
}

constexpr CommandHandler kLogonStart{"DoLogonStart",
                                     &Run<&H::reference, &ReferenceHandlers::DoLogonStart>};
constexpr CommandHandler kLogonEnd{"DoLogonEnd",
                                   &Run<&H::reference, &ReferenceHandlers::DoLogonEnd>};
constexpr CommandHandler kJobStart{"DoJobStart",
                                   &Run<&H::reference, &ReferenceHandlers::DoJobStart>};
constexpr CommandHandler kJobEnd{"DoJobEnd", &Run<&H::reference, &ReferenceHandlers::DoJobEnd>};
constexpr CommandHandler kPartStart{"DoPartStart",
                                    &Run<&H::reference, &ReferenceHandlers::DoPartStart>};
constexpr CommandHandler kPartEnd{"DoPartEnd", &Run<&H::reference, &ReferenceHandlers::DoPartEnd>};
constexpr CommandHandler kOpStart{"DoOpStart", &Run<&H::reference, &ReferenceHandlers::DoOpStart>};
constexpr CommandHandler kOpEnd{"DoOpEnd", &Run<&H::reference, &ReferenceHandlers::DoOpEnd>};
constexpr CommandHandler kSetupStart{"DoSetupStart",
                                     &Run<&H::activity, &ActivityHandlers::DoSetupStart>};
constexpr CommandHandler kSetupEnd{"DoSetupEnd", &Run<&H::activity, &ActivityHandlers::DoSetupEnd>};
constexpr CommandHandler kCycleStart{"DoCycleStart",
                                     &Run<&H::activity, &ActivityHandlers::DoCycleStart>};
constexpr CommandHandler kCycleEnd{"DoCycleEnd", &Run<&H::activity, &ActivityHandlers::DoCycleEnd>};
constexpr CommandHandler kTeardownStart{"DoTeardownStart",
                                        &Run<&H::activity, &ActivityHandlers::DoTeardownStart>};
constexpr CommandHandler kTeardownEnd{"DoTeardownEnd",
                                      &Run<&H::activity, &ActivityHandlers::DoTeardownEnd>};
constexpr CommandHandler kMachineDowntimeStart{
    "DoMachineDowntimeStart", &Run<&H::activity, &ActivityHandlers::DoMachineDowntimeStart>};
constexpr CommandHandler kMachineDowntimeEnd{
    "DoMachineDowntimeEnd", &Run<&H::activity, &ActivityHandlers::DoMachineDowntimeEnd>};
constexpr CommandHandler kUserDowntimeStart{
    "DoUserDowntimeStart", &Run<&H::activity, &ActivityHandlers::DoUserDowntimeStart>};
constexpr CommandHandler kUserDowntimeEnd{"DoUserDowntimeEnd",
                                          &Run<&H::activity, &ActivityHandlers::DoUserDowntimeEnd>};
constexpr CommandHandler kGoodPartCount{"DoGoodPartCount",
                                        &Run<&H::activity, &ActivityHandlers::DoGoodPartCount>};
constexpr CommandHandler kScrappedPartCount{
    "DoScrappedPartCount", &Run<&H::activity, &ActivityHandlers::DoScrappedPartCount>};
constexpr CommandHandler kHeartbeat{"DoProcessHeartBeatCommand",
                                    &Run<&H::events, &EventHandlers::DoProcessHeartBeatCommand>};
constexpr CommandHandler kIdleStart{"DoIdleStart",
                                    &Run<&H::activity, &ActivityHandlers::DoIdleStart>};
constexpr CommandHandler kPartSerialNoStart{
    "DoPartSerialNoStart", &Run<&H::reference, &ReferenceHandlers::DoPartSerialNoStart>};
constexpr CommandHandler kPartSerialNoEnd{
    "DoPartSerialNoEnd", &Run<&H::reference, &ReferenceHandlers::DoPartSerialNoEnd>};
constexpr CommandHandler kCustomStart{"DoCustomStart",
                                      &Run<&H::events, &EventHandlers::DoCustomStart>};
constexpr CommandHandler kCustomEnd{"DoCustomEnd", &Run<&H::events, &EventHandlers::DoCustomEnd>};
constexpr CommandHandler kCustomBoth{"DoCustomBoth",
                                     &Run<&H::events, &EventHandlers::DoCustomBoth>};

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

}  // namespace korvex7::internal
