// Logon handlers: who is logged on at a machine. The user triple of the
// machine's current record names the operator; logging on someone else, or
// off, closes the record and continues in a new one, so that every record
// covers one user. The operator's own shift decides the new record's shift
// when shifts overlap. A logon also ends an open user downtime (the user is
// back). Processing thread only.
#include <string>

#include "dbaccess/dialect.h"
#include "dbaccess/elapsed_time.h"
#include "library/dispatch/command_types.h"
#include "library/handlers/event_handlers.h"
#include "library/handlers/reference_handlers.h"
#include "library/intake/intake.h"
#include "library/records/machine_records.h"
#include "library/records/record_fields.h"
#include "library/reference/reference_data.h"
#include "library/session/string_table.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kMsgLogonStartLocked = 103;
constexpr int32_t kMsgLogonEndLocked = 104;
constexpr const char* kUserDowntimeCode = "1";

}  // namespace

bool ReferenceHandlers::DoLogonStart(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  const std::string& strUserName = command.param;
  strError.clear();
  return RunHandlerTransaction(
      !command.in_callers_transaction, kMsgLogonStartLocked, strError, [&] {
        const int32_t lCurrentID = records_.GetCurrentMachineDataID(command.machine, dtCurrentTime);
        if (!events_.SetEventStopTime(lMachineID,
                                      intake_.GetCommandIDForType(commandtype::kUserDowntime),
                                      dtCurrentTime, 1)) {
          strError = LoadResMessage(kMsgLogonStartLocked);
          return false;
        }
        events_.AddEventRecord(command.machine, intake_.GetCommandIDForType(commandtype::kLogon),
                               strUserName, dtCurrentTime, false);
        const int32_t lUserID = reference_.GetUserIDByName(strUserName);
        dbaccess::RecordsetPtr rs = records_.OpenMachineDataRecord(lCurrentID);
        const auto writeUser = [&](dbaccess::Recordset& rsTarget) {
          WriteReference(rsTarget, kUserColumns, lUserID, strUserName);
          WriteShiftColumns(rsTarget, lMachineID, dtCurrentTime, strUserName);
        };
        if (HoldsSameReference(*rs, kUserColumns, lUserID, strUserName, false)) {
          CloseFirstOpenUserDowntime(lCurrentID, dtCurrentTime);
        } else if (rs->Fields("START_TIME").Value().ToDateTime() == dtCurrentTime) {
          // A record that starts now has covered nobody yet: it takes the user.
          writeUser(*rs);
          rs->Update();
        } else {
          CloseFirstOpenUserDowntime(lCurrentID, dtCurrentTime);
          records_.SplitMachineDataRecord(lMachineID, *rs, MachineDataSplitKind::User,
                                          dtCurrentTime, writeUser);
        }
        CloseRecordset(rs);
        return true;
      });
}

bool ReferenceHandlers::DoLogonEnd(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  strError.clear();
  return RunHandlerTransaction(true, kMsgLogonEndLocked, strError, [&] {
    const int32_t lCurrentID = records_.GetCurrentMachineDataID(command.machine, dtCurrentTime);
    if (!events_.SetEventStopTime(lMachineID, intake_.GetCommandIDForType(commandtype::kLogon),
                                  dtCurrentTime, 1) ||
        !events_.SetEventStopTime(lMachineID,
                                  intake_.GetCommandIDForType(commandtype::kUserDowntime),
                                  dtCurrentTime, 1)) {
      strError = LoadResMessage(kMsgLogonEndLocked);
      return false;
    }
    dbaccess::RecordsetPtr rs = records_.OpenMachineDataRecord(lCurrentID);
    const bool bLoggedOn = HasValue(rs->Fields("USER_ID").Value()) ||
                           HasValue(rs->Fields("LOGON_DATA_START_ID").Value());
    CloseFirstOpenUserDowntime(lCurrentID, dtCurrentTime);
    if (bLoggedOn) {
      records_.SplitMachineDataRecord(lMachineID, *rs, MachineDataSplitKind::User, dtCurrentTime,
                                      [&](dbaccess::Recordset& rsNew) {
                                        ClearReference(rsNew, kUserColumns);
                                        WriteShiftColumns(rsNew, lMachineID, dtCurrentTime, "");
                                      });
    }
    CloseRecordset(rs);
    return true;
  });
}

void ReferenceHandlers::CloseFirstOpenUserDowntime(int32_t lMachineDataID,
                                                   const dbaccess::DateTime& dtTime) {
  dbaccess::RecordsetPtr rs =
      OpenQuery("select * from T_SFC_DT_PER_MACHINE_DATA " + voltrane::NoLockHint(DatabaseType()) +
                " where MACHINE_DATA_ID = " + std::to_string(lMachineDataID) +
                " and STOP_TIME IS NULL " + " and DOWNTIME_TYPE_CODE = " + kUserDowntimeCode);
  if (!rs->Eof()) {
    const dbaccess::DateTime dtStart = rs->Fields("START_TIME").Value().ToDateTime();
    const float fHours = static_cast<float>(dbaccess::ElapsedSeconds(dtStart, dtTime) / 3600.0);
    rs->Fields("DURATION") = dbaccess::Variant(static_cast<double>(fHours));
    rs->Fields("STOP_TIME") = dbaccess::Variant(dtTime);
    rs->Update();
  }
  CloseRecordset(rs);
}

void ReferenceHandlers::WriteShiftColumns(dbaccess::Recordset& rs, int32_t lMachineID,
                                          const dbaccess::DateTime& dtTime,
                                          const std::string& strUserName) {
  dbaccess::DateTime dtChartDate, dtShiftStart, dtShiftStop;
  int32_t lShiftID = -1;
  bool bIsSwing = false;
  records_.DetermineChartDateAndShiftInfo(dtTime, lMachineID, strUserName, true, dtChartDate,
                                          lShiftID, bIsSwing, dtShiftStart, dtShiftStop);
  const bool bNoShift = lShiftID == -1;
  rs.Fields("SHIFT_ID") = bNoShift ? dbaccess::Variant::Null() : dbaccess::Variant(lShiftID);
  rs.Fields("SHIFT_END") = bNoShift ? dbaccess::Variant::Null() : dbaccess::Variant(dtShiftStop);
  rs.Fields("CHART_DATE") = dbaccess::Variant(dtChartDate);
}

}  // namespace korvex7::internal
