// Machine and user downtime handlers, the idle command and the query by
// which the heartbeat monitor finds a machine's current downtime.
//
// A machine downtime is the machine's own state: its start ends the running
// period and the previous machine downtime, opens a downtime row and sets
// status 3; its end closes the row and makes the machine idle. A user
// downtime runs beside whatever the machine does and never changes its
// status; on a machine that never had a logon event it first logs on an
// anonymous user, so the downtime has someone to belong to. The idle command
// runs the end handler of the running activity. Each handler runs in its own
// transaction (RunHandlerTransaction); a command the cycle status lock
// filters returns false with an empty error text. Processing thread only.
#include <string>

#include "dbaccess/dialect.h"
#include "library/core/handler_outcome.h"
#include "library/dispatch/command_types.h"
#include "library/handlers/activity_handlers.h"
#include "library/handlers/cycle_status_lock_rules.h"
#include "library/handlers/event_handlers.h"
#include "library/handlers/reference_handlers.h"
#include "library/intake/intake.h"
#include "library/records/machine_records.h"
#include "library/records/record_periods.h"
#include "library/reference/reference_data.h"
#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"
#include "library/session/string_table.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kMsgMachineDowntimeStartLocked = 115;
constexpr int32_t kMsgMachineDowntimeEndLocked = 116;
constexpr int32_t kMsgUserDowntimeStartLocked = 117;
constexpr int32_t kMsgUserDowntimeEndLocked = 118;

constexpr int32_t kMachineDowntime = 0;
constexpr int32_t kUserDowntime = 1;
constexpr int32_t kActivityMachineDowntime = 3;
constexpr int32_t kActivityUserDowntime = 100;

constexpr int32_t kStatusIdle = 0;
constexpr int32_t kStatusSetup = 1;
constexpr int32_t kStatusCycle = 2;
constexpr int32_t kStatusDowntime = 3;
constexpr int32_t kStatusTeardown = 4;

}  // namespace

bool ActivityHandlers::DoMachineDowntimeStart(const CommandContext& command,
                                              std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  const std::string& strCodeNumber = command.param;
  strError.clear();
  int32_t lCodeID = -1;
  try {
    lCodeID = reference_.GetDowntimeCodeID(strCodeNumber, kMachineDowntime);
    if (command.late_heart_beat) {
      // The monitor's own downtime is never filtered.
      WriteExtendedErrorLog("Hearbeat late");
    } else if (IsCommandLocked(lMachineID, -1, kLockKindDowntimeStart, lCodeID, "?")) {
      return false;
    }
  } catch (...) {
    strError = CurrentError().description;
    return false;
  }
  strError.clear();
  return RunHandlerTransaction(true, kMsgMachineDowntimeStartLocked, strError, [&] {
    int32_t lMachineDataID = -1;
    dbaccess::RecordsetPtr rs =
        records_.OpenCurrentMachineDataRecord(command.machine, dtCurrentTime, lMachineDataID);
    if (!events_.StopEventsOfTypes(
            lMachineID, {commandtype::kSetup, commandtype::kCycle, commandtype::kTeardown},
            dtCurrentTime)) {
      strError = LoadResMessage(kMsgMachineDowntimeStartLocked);
      return HandlerOutcome::kFailed;
    }
    events_.AddEventRecord(command.machine,
                           intake_.GetCommandIDForType(commandtype::kMachineDowntime),
                           strCodeNumber, dtCurrentTime, false);
    // The previous machine downtime ends where the new one begins.
    CloseOpenDowntime(lMachineDataID, kMachineDowntime, dtCurrentTime);
    StopCurrentActivity(lMachineDataID, dtCurrentTime, lMachineID, kActivityMachineDowntime, rs);
    AddDowntimeRow(lMachineDataID, kMachineDowntime, lCodeID, strCodeNumber, dtCurrentTime);
    records_.SetMachineStatus(lMachineID, kStatusDowntime, dtCurrentTime);
    return HandlerOutcome::kDone;
  });
}

bool ActivityHandlers::DoMachineDowntimeEnd(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  strError.clear();
  return RunHandlerTransaction(true, kMsgMachineDowntimeEndLocked, strError, [&] {
    int32_t lMachineDataID = -1;
    dbaccess::RecordsetPtr rs =
        records_.OpenCurrentMachineDataRecord(command.machine, dtCurrentTime, lMachineDataID);
    if (IsCommandLocked(lMachineID, -1, kLockKindEnd, -1, kDowntimeEndName)) {
      return HandlerOutcome::kIgnored;
    }
    if (!events_.StopEventsOfTypes(lMachineID, {commandtype::kMachineDowntime}, dtCurrentTime)) {
      strError = LoadResMessage(kMsgMachineDowntimeEndLocked);
      return HandlerOutcome::kFailed;
    }
    CloseOpenDowntime(lMachineDataID, kMachineDowntime, dtCurrentTime);
    if (!rs->Eof()) {
      StartIdleIfNotRunning(*rs, dtCurrentTime);
      if (rs->EditPending()) rs->Update();
    }
    CloseRecordset(rs);
    records_.SetMachineStatus(lMachineID, kStatusIdle, dtCurrentTime);
    return HandlerOutcome::kDone;
  });
}

bool ActivityHandlers::DoUserDowntimeStart(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  const std::string& strCodeNumber = command.param;
  strError.clear();
  return RunHandlerTransaction(true, kMsgUserDowntimeStartLocked, strError, [&] {
    // A machine event row of the logon command stays after its event has
    // ended, so only a machine that never had a logon gets the anonymous one.
    dbaccess::RecordsetPtr rsLogon =
        OpenQuery("select * from T_SFC_MACHINE_EVENT " + voltrane::NoLockHint(DatabaseType()) +
                  " where MACHINE_ID = " + std::to_string(lMachineID) + " and COMMAND_ID = " +
                  std::to_string(intake_.GetCommandIDForType(commandtype::kLogon)));
    const bool bHadLogon = !rsLogon->Eof();
    CloseRecordset(rsLogon);
    if (!bHadLogon &&
        !reference_handlers_.DoLogonStart(command.WithParam("").InCallersTransaction(), strError)) {
      return HandlerOutcome::kFailed;
    }
    const int32_t lMachineDataID = records_.GetCurrentMachineDataID(command.machine, dtCurrentTime);
    events_.AddEventRecord(command.machine, intake_.GetCommandIDForType(commandtype::kUserDowntime),
                           strCodeNumber, dtCurrentTime, false);
    CloseOpenDowntime(lMachineDataID, kUserDowntime, dtCurrentTime);
    StopCurrentActivity(lMachineDataID, dtCurrentTime, lMachineID, kActivityUserDowntime);
    AddDowntimeRow(lMachineDataID, kUserDowntime,
                   reference_.GetDowntimeCodeID(strCodeNumber, kUserDowntime), strCodeNumber,
                   dtCurrentTime);
    return HandlerOutcome::kDone;
  });
}

bool ActivityHandlers::DoUserDowntimeEnd(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  strError.clear();
  return RunHandlerTransaction(true, kMsgUserDowntimeEndLocked, strError, [&] {
    const int32_t lMachineDataID = records_.GetCurrentMachineDataID(command.machine, dtCurrentTime);
    if (!events_.StopEventsOfTypes(lMachineID, {commandtype::kUserDowntime}, dtCurrentTime)) {
      strError = LoadResMessage(kMsgUserDowntimeEndLocked);
      return HandlerOutcome::kFailed;
    }
    CloseOpenDowntime(lMachineDataID, kUserDowntime, dtCurrentTime);
    return HandlerOutcome::kDone;
  });
}

bool ActivityHandlers::DoIdleStart(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  strError.clear();
  int32_t lStatus = kStatusIdle;
  try {
    lStatus = records_.GetMachineStatus(lMachineID);
  } catch (...) {
    strError = CurrentError().description;
    return false;
  }
  switch (lStatus) {
    case kStatusSetup:
      return DoSetupEnd(command, strError);
    case kStatusCycle:
      return DoCycleEnd(command, strError);
    case kStatusDowntime:
      return DoMachineDowntimeEnd(command, strError);
    case kStatusTeardown:
      return DoTeardownEnd(command, strError);
    default:
      return false;  // already idle: nothing to end
  }
}

std::string ActivityHandlers::CurrentDowntimeQueryText() {
  const std::string strHint = voltrane::NoLockHint(DatabaseType());
  return "select DOWNTIME_CODE_ID , m.STATUS_DATE from T_SFC_DT_PER_MACHINE_DATA dtpmd" + strHint +
         " , T_SFC_MACHINE_DATA md" + strHint + ", T_SFC_MACHINE m" + strHint +
         " Where md.MACHINE_DATA_ID = dtpmd.MACHINE_DATA_ID" +
         " and md.MACHINE_DATA_ID = m.MACHINE_DATA_ID" + " and m.MACHINE_ID = @MachineID" +
         " and dtpmd.DOWNTIME_CODE_ID = @DowntimeCodeID" + " and m.STATUS_CODE = " + "3" +
         " and dtpmd.STOP_TIME IS NULL";
}

}  // namespace korvex7::internal
