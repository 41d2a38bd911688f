// Operation handlers: which operation of the job a machine works on. The
// operation triple of the machine's current record names it; starting a
// different operation, or ending it, closes the record and continues in a
// new one. An unknown operation number may be created (option 11); when
// that fails the number stays unresolved and its reason is passed on in the
// error text, though the command itself succeeds. Processing thread only.
#include <string>

#include "library/dispatch/command_types.h"
#include "library/handlers/event_handlers.h"
#include "library/handlers/reference_handlers.h"
#include "library/intake/intake.h"
#include "library/records/machine_records.h"
#include "library/records/record_fields.h"
#include "library/reference/reference_data.h"
#include "library/reference/upper_case.h"
#include "library/session/string_table.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kMsgOpStartLocked = 107;
constexpr int32_t kMsgOpEndLocked = 108;

}  // namespace

bool ReferenceHandlers::DoOpStart(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  const std::string& strOpNumber = command.param;
  strError.clear();
  return RunHandlerTransaction(true, kMsgOpStartLocked, strError, [&] {
    const int32_t lCurrentID = records_.GetCurrentMachineDataID(command.machine, dtCurrentTime);
    events_.AddEventRecord(command.machine, intake_.GetCommandIDForType(commandtype::kOperation),
                           strOpNumber, dtCurrentTime, false);
    int32_t lOpID = reference_.GetOpIDByNumber(strOpNumber);
    if (lOpID == -1 && !reference_.AutoOpCreate(strOpNumber, lOpID, lMachineID, strError))
      lOpID = -1;
    const std::string strNumber = UpperCaseText(strOpNumber);
    dbaccess::RecordsetPtr rs = records_.OpenMachineDataRecord(lCurrentID);
    if (!HoldsSameReference(*rs, kOpColumns, lOpID, strNumber, true)) {
      const auto writeOp = [&](dbaccess::Recordset& rsTarget) {
        WriteReference(rsTarget, kOpColumns, lOpID, strNumber);
      };
      if (rs->Fields("START_TIME").Value().ToDateTime() == dtCurrentTime) {
        writeOp(*rs);
        rs->Update();
      } else {
        records_.SplitMachineDataRecord(lMachineID, *rs, MachineDataSplitKind::Op, dtCurrentTime,
                                        writeOp);
      }
    }
    CloseRecordset(rs);
    return true;
  });
}

bool ReferenceHandlers::DoOpEnd(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  strError.clear();
  return RunHandlerTransaction(true, kMsgOpEndLocked, strError, [&] {
    const int32_t lCurrentID = records_.GetCurrentMachineDataID(command.machine, dtCurrentTime);
    if (!events_.SetEventStopTime(lMachineID, intake_.GetCommandIDForType(commandtype::kOperation),
                                  dtCurrentTime, 1)) {
      strError = LoadResMessage(kMsgOpEndLocked);
      return false;
    }
    dbaccess::RecordsetPtr rs = records_.OpenMachineDataRecord(lCurrentID);
    if (HoldsReference(*rs, kOpColumns)) {
      records_.SplitMachineDataRecord(
          lMachineID, *rs, MachineDataSplitKind::Op, dtCurrentTime,
          [](dbaccess::Recordset& rsNew) { ClearReference(rsNew, kOpColumns); });
    }
    CloseRecordset(rs);
    return true;
  });
}

}  // namespace korvex7::internal
