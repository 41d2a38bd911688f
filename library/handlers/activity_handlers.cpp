// The setup, teardown and cycle handlers. A start ends the open events of
// the activities it replaces, opens its own event, switches the record to
// its period (StopCurrentActivity) and sets the machine's status; an end
// closes its event, adds a running period to the record (a cycle that ends
// counts as finished), starts idle time unless it already runs and sets the
// machine idle. Ends do not check that their own activity is the one
// running. The cycle status lock may make a machine ignore any of them: the
// handler then returns false with an empty error text. Each handler runs in
// its own transaction (RunHandlerTransaction). Processing thread only.
#include "library/handlers/activity_handlers.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "library/core/handler_outcome.h"
#include "library/dispatch/command_types.h"
#include "library/handlers/cycle_status_lock_rules.h"
#include "library/handlers/event_handlers.h"
#include "library/handlers/reference_handlers.h"
#include "library/intake/intake.h"
#include "library/records/machine_records.h"
#include "library/records/record_periods.h"
#include "library/session/error_text.h"
#include "library/session/string_table.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kMsgSetupStartLocked = 111;
constexpr int32_t kMsgSetupEndLocked = 112;
constexpr int32_t kMsgTeardownStartLocked = 113;
constexpr int32_t kMsgTeardownEndLocked = 114;
constexpr int32_t kMsgCycleStartLocked = 119;
constexpr int32_t kMsgCycleEndLocked = 120;

constexpr int32_t kActivitySetup = 1;
constexpr int32_t kActivityCycle = 2;
constexpr int32_t kActivityTeardown = 4;
constexpr int32_t kStatusIdle = 0;
constexpr int32_t kStatusDowntime = 3;

constexpr const char* kStartName = "?";

}  // namespace

HandlerOutcome ActivityHandlers::StartActivity(const CommandContext& command,
                                               int32_t lMachineDataID,
                                               dbaccess::RecordsetPtr rsCurrent,
                                               int32_t lLockedMessage,
                                               std::initializer_list<int32_t> alStopTypes,
                                               int32_t lActivity, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  if (!events_.StopEventsOfTypes(lMachineID, alStopTypes, dtCurrentTime)) {
    strError = LoadResMessage(lLockedMessage);
    return HandlerOutcome::kFailed;
  }
  // The activity codes 1, 2 and 4 are the type codes 8, 9 and 10 in order of
  // their commands: setup, cycle, teardown.
  const int32_t lEventType = lActivity == kActivitySetup   ? commandtype::kSetup
                             : lActivity == kActivityCycle ? commandtype::kCycle
                                                           : commandtype::kTeardown;
  events_.AddEventRecord(command.machine, intake_.GetCommandIDForType(lEventType), "",
                         dtCurrentTime, false);
  StopCurrentActivity(lMachineDataID, dtCurrentTime, lMachineID, lActivity, rsCurrent);
  records_.SetMachineStatus(lMachineID, lActivity, dtCurrentTime);
  return HandlerOutcome::kDone;
}

bool ActivityHandlers::DoSetupStart(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  strError.clear();
  return RunHandlerTransaction(true, kMsgSetupStartLocked, strError, [&] {
    // The current record comes first: it brings the machine up to the time.
    int32_t lMachineDataID = -1;
    dbaccess::RecordsetPtr rs =
        records_.OpenCurrentMachineDataRecord(command.machine, dtCurrentTime, lMachineDataID);
    if (IsCommandLocked(lMachineID, -1, kLockKindSetupStart, -1, kStartName)) {
      return HandlerOutcome::kIgnored;
    }
    return StartActivity(command, lMachineDataID, rs, kMsgSetupStartLocked,
                         {commandtype::kMachineDowntime, commandtype::kUserDowntime,
                          commandtype::kCycle, commandtype::kTeardown},
                         kActivitySetup, strError);
  });
}

bool ActivityHandlers::DoTeardownStart(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  strError.clear();
  return RunHandlerTransaction(true, kMsgTeardownStartLocked, strError, [&] {
    int32_t lMachineDataID = -1;
    dbaccess::RecordsetPtr rs =
        records_.OpenCurrentMachineDataRecord(command.machine, dtCurrentTime, lMachineDataID);
    if (IsCommandLocked(lMachineID, -1, kLockKindTeardownStart, -1, kStartName)) {
      return HandlerOutcome::kIgnored;
    }
    return StartActivity(command, lMachineDataID, rs, kMsgTeardownStartLocked,
                         {commandtype::kSetup, commandtype::kMachineDowntime,
                          commandtype::kUserDowntime, commandtype::kCycle},
                         kActivityTeardown, strError);
  });
}

bool ActivityHandlers::DoCycleStart(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  strError.clear();
  // One read answers both the lock and the part check.
  bool bHasPart = false;
  try {
    const int32_t lStatus = records_.GetMachineStatusAndPart(lMachineID, bHasPart);
    int32_t lDowntimeCodeID = -1;
    if (lStatus == kStatusDowntime) {
      records_.GetMachineStatusAndDowntime(lMachineID, lDowntimeCodeID);
    }
    if (IsCommandLocked(lMachineID, lStatus, kLockKindCycleStart, lDowntimeCodeID, kStartName)) {
      return false;
    }
  } catch (...) {
    strError = CurrentError().description;
    return false;
  }
  // Cycles belong to a part record: a part with an empty number starts first.
  if (!bHasPart && !reference_handlers_.DoPartStart(command.WithParam(""), strError)) {
    return false;
  }
  strError.clear();
  return RunHandlerTransaction(true, kMsgCycleStartLocked, strError, [&] {
    int32_t lMachineDataID = -1;
    dbaccess::RecordsetPtr rs =
        records_.OpenCurrentMachineDataRecord(command.machine, dtCurrentTime, lMachineDataID);
    return StartActivity(
        command, lMachineDataID, rs, kMsgCycleStartLocked,
        {commandtype::kSetup, commandtype::kMachineDowntime, commandtype::kTeardown},
        kActivityCycle, strError);
  });
}

bool ActivityHandlers::EndActivity(const MachineKeys& machine,
                                   const dbaccess::DateTime& dtCurrentTime, int32_t lLockedMessage,
                                   int32_t lEventType, const char* strEndName,
                                   std::string& strError) {
  const int32_t lMachineID = machine.lMachineID;
  strError.clear();
  return RunHandlerTransaction(true, lLockedMessage, strError, [&] {
    int32_t lMachineDataID = -1;
    dbaccess::RecordsetPtr rs =
        records_.OpenCurrentMachineDataRecord(machine, dtCurrentTime, lMachineDataID);
    if (IsCommandLocked(lMachineID, -1, kLockKindEnd, -1, strEndName)) {
      return HandlerOutcome::kIgnored;
    }
    if (!events_.StopEventsOfTypes(lMachineID, {lEventType}, dtCurrentTime)) {
      strError = LoadResMessage(lLockedMessage);
      return HandlerOutcome::kFailed;
    }
    if (!rs->Eof()) {
      switch (lEventType) {
        case commandtype::kSetup:
          EndRunningPeriod(*rs, "SETUP_START_TIME", "SETUP_TIME", kSecondsPerHour, dtCurrentTime);
          break;
        case commandtype::kTeardown:
          EndRunningPeriod(*rs, "TEARDOWN_START_TIME", "TEARDOWN_TIME", kSecondsPerHour,
                           dtCurrentTime);
          break;
        default:
          // The cycle ran to its end: it counts as finished.
          if (EndRunningPeriod(*rs, "CYCLE_START_TIME", "CYCLE_TIME", kSecondsPerMinute,
                               dtCurrentTime)) {
            IncrementCounter(*rs, "FINISHED_CYCLES");
          }
          break;
      }
      StartIdleIfNotRunning(*rs, dtCurrentTime);
      rs->Update();
    }
    CloseRecordset(rs);
    records_.SetMachineStatus(lMachineID, kStatusIdle, dtCurrentTime);
    return HandlerOutcome::kDone;
  });
}

bool ActivityHandlers::DoSetupEnd(const CommandContext& command, std::string& strError) {
  const dbaccess::DateTime& dtCurrentTime = command.time;
  return EndActivity(command.machine, dtCurrentTime, kMsgSetupEndLocked, commandtype::kSetup,
                     kSetupEndName, strError);
}

bool ActivityHandlers::DoTeardownEnd(const CommandContext& command, std::string& strError) {
  const dbaccess::DateTime& dtCurrentTime = command.time;
  return EndActivity(command.machine, dtCurrentTime, kMsgTeardownEndLocked, commandtype::kTeardown,
                     kTeardownEndName, strError);
}

bool ActivityHandlers::DoCycleEnd(const CommandContext& command, std::string& strError) {
  const dbaccess::DateTime& dtCurrentTime = command.time;
  return EndActivity(command.machine, dtCurrentTime, kMsgCycleEndLocked, commandtype::kCycle,
                     kCycleEndName, strError);
}

}  // namespace korvex7::internal
