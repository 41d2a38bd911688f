// Part handlers: which part a machine is making. The part columns of the
// machine's current record name it; starting a different part, or ending
// it, closes the record and continues in a new one. The running cycle's
// event is restarted so that the cycle counts for the new part; a part end
// during a cycle counts the cut cycle as unfinished. A part change first
// ends the running serial number. A part start sets the record's standard
// cycle time and creates a job that was entered before its part was known.
//
// A cut cycle is counted once and its event restarted once, also when the
// serial number is ended on the way; a part start that changes nothing
// counts nothing. Processing thread only.
#include <string>

#include "library/dispatch/command_types.h"
#include "library/handlers/event_handlers.h"
#include "library/handlers/reference_handlers.h"
#include "library/intake/intake.h"
#include "library/records/machine_records.h"
#include "library/records/record_fields.h"
#include "library/reference/reference_data.h"
#include "library/reference/upper_case.h"
#include "library/session/extended_error_log.h"
#include "library/session/string_table.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kMsgPartStartLocked = 109;
constexpr int32_t kMsgPartEndLocked = 110;

}  // namespace

bool ReferenceHandlers::DoPartStart(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  const std::string& strPartNumber = command.param;
  strError.clear();
  return RunHandlerTransaction(!command.in_callers_transaction, kMsgPartStartLocked, strError, [&] {
    int32_t lCurrentID = records_.GetCurrentMachineDataID(command.machine, dtCurrentTime);
    bool bCutCycle = false;
    if (IsV12Database() &&
        !EndRunningSerialNumber(command.machine, lCurrentID, dtCurrentTime, false, bCutCycle)) {
      strError = LoadResMessage(kMsgPartEndLocked);
      return false;
    }
    bool bCycleStopped = false;
    if (!events_.SetEventStopTime(lMachineID, intake_.GetCommandIDForType(commandtype::kCycle),
                                  dtCurrentTime, 1, &bCycleStopped)) {
      strError = LoadResMessage(kMsgPartStartLocked);
      return false;
    }
    events_.AddEventRecord(command.machine, intake_.GetCommandIDForType(commandtype::kPart),
                           strPartNumber, dtCurrentTime, false);
    // The running cycle goes on as an event of the new part.
    if (bCycleStopped) {
      events_.AddEventRecord(command.machine, intake_.GetCommandIDForType(commandtype::kCycle), "",
                             dtCurrentTime, false);
    }
    dbaccess::Variant vPartTypeID;
    int32_t lPartID = reference_.GetPartIDByNumber(strPartNumber, vPartTypeID);
    if (lPartID == -1 &&
        !reference_.AutoPartCreate(strPartNumber, lPartID, vPartTypeID, lMachineID, strError)) {
      lPartID = -1;
    }
    dbaccess::RecordsetPtr rs = records_.OpenMachineDataRecord(lCurrentID);
    if (!HoldsSameReference(*rs, kPartColumns, lPartID, strPartNumber, true)) {
      if (lPartID != -1) CreateDeferredJob(*rs, lMachineID, lPartID, dtCurrentTime, strError);
      const auto writePart = [&](dbaccess::Recordset& rsTarget) {
        WritePartColumns(rsTarget, lMachineID, lPartID, vPartTypeID, strPartNumber);
      };
      if (rs->Fields("START_TIME").Value().ToDateTime() == dtCurrentTime) {
        writePart(*rs);
        rs->Update();
      } else {
        records_.SplitMachineDataRecord(lMachineID, *rs, MachineDataSplitKind::Part, dtCurrentTime,
                                        writePart);
      }
    }
    CloseRecordset(rs);
    return true;
  });
}

bool ReferenceHandlers::DoPartEnd(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  strError.clear();
  return RunHandlerTransaction(true, kMsgPartEndLocked, strError, [&] {
    int32_t lCurrentID = records_.GetCurrentMachineDataID(command.machine, dtCurrentTime);
    bool bCutCycle = false;
    bool bCycleStopped = false;
    if ((IsV12Database() &&
         !EndRunningSerialNumber(command.machine, lCurrentID, dtCurrentTime, false, bCutCycle)) ||
        !events_.SetEventStopTime(lMachineID, intake_.GetCommandIDForType(commandtype::kPart),
                                  dtCurrentTime, 1) ||
        !events_.SetEventStopTime(lMachineID, intake_.GetCommandIDForType(commandtype::kCycle),
                                  dtCurrentTime, 1, &bCycleStopped)) {
      strError = LoadResMessage(kMsgPartEndLocked);
      return false;
    }
    if (bCycleStopped) {
      events_.AddEventRecord(command.machine, intake_.GetCommandIDForType(commandtype::kCycle), "",
                             dtCurrentTime, false);
    }
    dbaccess::RecordsetPtr rs = records_.OpenMachineDataRecord(lCurrentID);
    // The cycle goes on in the next record; the piece it was making is cut.
    // A serial end on the way has counted it already.
    if (!bCutCycle && HasValue(rs->Fields("CYCLE_START_TIME").Value())) {
      rs->Fields("UNFINISHED_CYCLES") =
          dbaccess::Variant(CountOrZero(rs->Fields("UNFINISHED_CYCLES").Value()) + 1);
    }
    if (HoldsReference(*rs, kPartColumns)) {
      if (rs->Fields("START_TIME").Value().ToDateTime() == dtCurrentTime) {
        WriteExtendedErrorLog("What?");
      }
      records_.SplitMachineDataRecord(lMachineID, *rs, MachineDataSplitKind::Part, dtCurrentTime,
                                      [&](dbaccess::Recordset& rsNew) {
                                        rsNew.Fields("PART_TYPE_ID") = dbaccess::Variant::Null();
                                        ClearReference(rsNew, kPartColumns);
                                        if (IsV12Database()) rsNew.Fields("STANDARD_TIME") = 0.0;
                                      });
    } else if (rs->EditPending()) {
      rs->Update();
    }
    CloseRecordset(rs);
    return true;
  });
}

void ReferenceHandlers::WritePartColumns(dbaccess::Recordset& rs, int32_t lMachineID,
                                         int32_t lPartID, const dbaccess::Variant& vPartTypeID,
                                         const std::string& strPartNumber) {
  WriteReference(rs, kPartColumns, lPartID, UpperCaseText(strPartNumber));
  if (lPartID == -1) {
    rs.Fields("PART_TYPE_ID") = dbaccess::Variant::Null();
    return;
  }
  rs.Fields("PART_TYPE_ID") = HasValue(vPartTypeID) ? vPartTypeID : dbaccess::Variant::Null();
  if (IsV12Database()) {
    rs.Fields("STANDARD_TIME") =
        dbaccess::Variant(records_.GetStandardCycleTime(lMachineID, lPartID));
  }
}

void ReferenceHandlers::CreateDeferredJob(dbaccess::Recordset& rs, int32_t lMachineID,
                                          int32_t lPartID, const dbaccess::DateTime& dtTime,
                                          std::string& strError) {
  // Only a job number entered unresolved in this very record, before any
  // part was known, waits for its part.
  const dbaccess::Variant vJobNumber = rs.Fields("JOB_NUMBER").Value();
  if (HasValue(rs.Fields("PART_ID").Value()) || HasValue(rs.Fields("JOB_ID").Value()) ||
      !HasValue(vJobNumber) ||
      IdOrNone(rs.Fields("JOB_DATA_START_ID").Value()) !=
          IdOrNone(rs.Fields("MACHINE_DATA_ID").Value())) {
    return;
  }
  int32_t lJobID = -1;
  int32_t lJobPartID = lPartID;
  if (reference_.AutoJobCreate(dtTime, vJobNumber.ToText(), lJobID, lMachineID, strError,
                               lJobPartID) != JobCreation::kCreated) {
    return;
  }
  rs.Fields("JOB_ID") = dbaccess::Variant(lJobID);
  rs.Fields("JOB_NUMBER") = dbaccess::Variant::Null();
  rs.Fields("JOB_DATA_START_ID") = dbaccess::Variant::Null();
}

}  // namespace korvex7::internal
