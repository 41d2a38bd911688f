// Part serial-number handlers: which serial-numbered piece of the running
// part a machine works on, on databases that keep individual pieces. The
// serial-number triple of the machine's current record names it; every
// start, and the end of a running one, closes the record and continues in a
// new one. A piece is on one machine at a time: starting it here first ends
// it on the machine where it runs. A serial end during a cycle counts the
// cut cycle as unfinished and restarts the cycle's event; an end that finds
// no serial number running cuts nothing and counts nothing. In a collector
// group a piece running on a machine of another partition is ended there
// through the log, never by touching that machine's records.
//
// A start while the record has no part cannot look the number up: the
// record then gets the number unresolved, and the record is reported
// invalid when it completes. Processing thread only.
#include <string>

#include "dbaccess/dialect.h"
#include "library/com_error.h"
#include "library/dispatch/command_types.h"
#include "library/handlers/event_handlers.h"
#include "library/handlers/reference_handlers.h"
#include "library/intake/intake.h"
#include "library/korvex7_log_writer.h"
#include "library/records/machine_records.h"
#include "library/records/record_fields.h"
#include "library/reference/reference_data.h"
#include "library/reference/upper_case.h"
#include "library/session/extended_error_log.h"
#include "library/session/string_table.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kMsgSerialStartLocked = 109;
constexpr int32_t kMsgSerialEndLocked = 110;
constexpr int32_t kErrSerialCheck = -1;
constexpr const char* kNoSerialNumbers = "No Part Serial Numbers unless v12 database";

}  // namespace

bool ReferenceHandlers::DoPartSerialNoStart(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  const std::string& strSerialNo = command.param;
  strError.clear();
  if (!IsV12Database()) {
    strError = kNoSerialNumbers;
    return false;
  }
  return RunHandlerTransaction(true, kMsgSerialStartLocked, strError, [&] {
    bool bTransactionOpen = true;
    int32_t lOtherMachineID = -1;
    if (FindSerialOnOtherMachine(strSerialNo, command.machine, dtCurrentTime, bTransactionOpen,
                                 lOtherMachineID)) {
      int32_t lOtherDeptID = -1, lOtherLocationID = -1, lOtherGroupID = -1;
      intake_.GetMachineHierarchy(lOtherMachineID, lOtherDeptID, lOtherLocationID, lOtherGroupID);
      if (!SamePartition(lMachineID, lOtherMachineID)) {
        // Another member of the collector group owns that machine: its end
        // goes to the log at this time, for the owner to process in order
        // (refused as out of order once when its records moved past it),
        // committed with this row.
        korvex7::LogRowWriter writer(connection(), DatabaseType());
        writer.AppendRows({{intake_.GetCommandIDForType(commandtype::kPartSerialNo),
                            {lOtherMachineID, lOtherGroupID, lOtherLocationID, lOtherDeptID},
                            korvex7::Code(korvex7::TimeCode::kEnd),
                            dtCurrentTime,
                            ""}});
        WriteExtendedErrorLog("serial number " + strSerialNo + " ended on MACHINE_ID = " +
                              std::to_string(lOtherMachineID) + " through the log");
      } else {
        CommandContext otherEnd = command.InCallersTransaction();
        otherEnd.machine = {lOtherDeptID, lOtherLocationID, lOtherGroupID, lOtherMachineID};
        if (!DoPartSerialNoEnd(otherEnd, strError)) return false;
      }
    }
    const int32_t lCurrentID = records_.GetCurrentMachineDataID(command.machine, dtCurrentTime);
    bool bCycleStopped = false;
    if (!events_.SetEventStopTime(lMachineID,
                                  intake_.GetCommandIDForType(commandtype::kPartSerialNo),
                                  dtCurrentTime, 1) ||
        !events_.SetEventStopTime(lMachineID, intake_.GetCommandIDForType(commandtype::kCycle),
                                  dtCurrentTime, 1, &bCycleStopped)) {
      strError = LoadResMessage(kMsgSerialStartLocked);
      return false;
    }
    events_.AddEventRecord(command.machine, intake_.GetCommandIDForType(commandtype::kPartSerialNo),
                           strSerialNo, dtCurrentTime, false);
    if (bCycleStopped) {
      events_.AddEventRecord(command.machine, intake_.GetCommandIDForType(commandtype::kCycle), "",
                             dtCurrentTime, false);
    }
    dbaccess::RecordsetPtr rs = records_.OpenMachineDataRecord(lCurrentID);
    const int32_t lPartID = IdOrNone(rs->Fields("PART_ID").Value());
    const int32_t lSerialID =
        lPartID == -1 ? -1 : reference_.GetPartSerialNoID(lPartID, strSerialNo);
    const auto writeSerial = [&](dbaccess::Recordset& rsTarget) {
      WriteReference(rsTarget, kSerialColumns, lSerialID, UpperCaseText(strSerialNo));
    };
    // Every start is a new piece, even with the number already running.
    if (rs->Fields("START_TIME").Value().ToDateTime() == dtCurrentTime) {
      writeSerial(*rs);
      rs->Update();
    } else {
      records_.SplitMachineDataRecord(lMachineID, *rs, MachineDataSplitKind::SerialNo,
                                      dtCurrentTime, writeSerial);
    }
    CloseRecordset(rs);
    return true;
  });
}

bool ReferenceHandlers::DoPartSerialNoEnd(const CommandContext& command, std::string& strError) {
  const dbaccess::DateTime& dtCurrentTime = command.time;
  strError.clear();
  if (!IsV12Database()) {
    strError = kNoSerialNumbers;
    return false;
  }
  return RunHandlerTransaction(!command.in_callers_transaction, kMsgSerialEndLocked, strError, [&] {
    int32_t lCurrentID = records_.GetCurrentMachineDataID(command.machine, dtCurrentTime);
    bool bCutCycle = false;
    if (!EndRunningSerialNumber(command.machine, lCurrentID, dtCurrentTime, true, bCutCycle)) {
      strError = LoadResMessage(kMsgSerialEndLocked);
      return false;
    }
    return true;
  });
}

bool ReferenceHandlers::EndRunningSerialNumber(const MachineKeys& machine, int32_t& lCurrentID,
                                               const dbaccess::DateTime& dtTime,
                                               bool bRestartCycleEvent, bool& bCutCycle) {
  const int32_t lMachineID = machine.lMachineID;
  bCutCycle = false;
  if (!events_.SetEventStopTime(lMachineID, intake_.GetCommandIDForType(commandtype::kPartSerialNo),
                                dtTime, 1))
    return false;
  dbaccess::RecordsetPtr rs = records_.OpenMachineDataRecord(lCurrentID);
  if (!HoldsReference(*rs, kSerialColumns)) {
    CloseRecordset(rs);
    return true;
  }
  if (bRestartCycleEvent) {
    bool bCycleStopped = false;
    if (!events_.SetEventStopTime(lMachineID, intake_.GetCommandIDForType(commandtype::kCycle),
                                  dtTime, 1, &bCycleStopped)) {
      CloseRecordset(rs);
      return false;
    }
    if (bCycleStopped) {
      events_.AddEventRecord(machine, intake_.GetCommandIDForType(commandtype::kCycle), "", dtTime,
                             false);
    }
  }
  // The cycle goes on in the next record; the piece it was making is cut.
  if (HasValue(rs->Fields("CYCLE_START_TIME").Value())) {
    rs->Fields("UNFINISHED_CYCLES") =
        dbaccess::Variant(CountOrZero(rs->Fields("UNFINISHED_CYCLES").Value()) + 1);
    bCutCycle = true;
  }
  if (rs->Fields("START_TIME").Value().ToDateTime() == dtTime) WriteExtendedErrorLog("What?");
  lCurrentID = records_.SplitMachineDataRecord(
      lMachineID, *rs, MachineDataSplitKind::SerialNo, dtTime,
      [](dbaccess::Recordset& rsNew) { ClearReference(rsNew, kSerialColumns); });
  CloseRecordset(rs);
  return true;
}

bool ReferenceHandlers::FindSerialOnOtherMachine(const std::string& strSerialNo,
                                                 const MachineKeys& machine,
                                                 const dbaccess::DateTime& dtCurrentTime,
                                                 bool& bTransactionOpen, int32_t& lOtherMachineID) {
  const int32_t lMachineID = machine.lMachineID;
  if (!bTransactionOpen) {
    if (!BeginTransaction()) {
      throw ComError(kErrSerialCheck, "FindSerialOnOtherMachine",
                     LoadResMessage(kMsgSerialStartLocked));
    }
    bTransactionOpen = true;
  }
  const int32_t lKind = DatabaseType();
  const std::string strHint = voltrane::NoLockHint(lKind);
  const int32_t lCurrentID = records_.GetCurrentMachineDataID(machine, dtCurrentTime);
  const std::string strPartNumber = GetScalarText(
      "SELECT " +
      voltrane::IIF(lKind, "not md.PART_ID is NULL", "pt.PART_NUMBER", "md.PART_NUMBER") +
      " as PART_NUMBER from T_SFC_MACHINE_DATA md " + strHint +
      " left join T_SFC_PART pt on md.PART_ID = pt.PART_ID " +
      " where MACHINE_DATA_ID = " + std::to_string(lCurrentID));
  const auto runningOn = [&](int32_t lCommandTypeCode) {
    return "select me.MACHINE_ID, ev.PARAM1 from T_SFC_MACHINE_EVENT me " + strHint +
           " inner join T_SFC_EVENT ev " + strHint + " on ev.EVENT_ID = me.EVENT_ID " +
           " where me.MACHINE_ID <> " + std::to_string(lMachineID) +
           " and me.COMMAND_ID = " + std::to_string(intake_.GetCommandIDForType(lCommandTypeCode));
  };
  // Both numbers come from the shop floor: quoted like every other text.
  dbaccess::RecordsetPtr rs =
      OpenQuery(" Select ev.MACHINE_ID, ev.PARAM1 as PART_NUM, ev2.PARAM1 as SERIAL_NUM from (" +
                runningOn(commandtype::kPart) + ") ev " + " inner join (" +
                runningOn(commandtype::kPartSerialNo) + ") ev2 on EV.MACHINE_ID = ev2.MACHINE_ID " +
                " where ev.MACHINE_ID <> " + std::to_string(lMachineID) + " and " +
                voltrane::UCase(lKind, "ev.PARAM1") + " = " +
                voltrane::QuotedStr(lKind, UpperCaseText(strPartNumber)) + " and " +
                voltrane::UCase(lKind, "ev2.PARAM1") + " = " +
                voltrane::QuotedStr(lKind, UpperCaseText(strSerialNo)));
  const bool bFound = !rs->Eof();
  if (bFound) lOtherMachineID = IdOrNone(rs->Fields("MACHINE_ID").Value());
  CloseRecordset(rs);
  return bFound;
}

}  // namespace korvex7::internal
