// Job handlers: which production job a machine works on. The job triple of
// the machine's current record names it; starting another job, or ending
// it, closes the record and continues in a new one. A job start may create
// an unknown job (option 9), start the job's first part (option 1) and
// release a pending job (option 26); a job end may end the running part
// first (option 1) and finish the job with this machine's produced
// quantities (option 24). Processing thread only.
#include <string>

#include "dbaccess/dialect.h"
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

constexpr int32_t kMsgJobStartLocked = 105;
constexpr int32_t kMsgJobEndLocked = 106;
constexpr int32_t kOptJobStartsPart = 1;
constexpr int32_t kOptJobEndFinishes = 24;
constexpr int32_t kOptJobStartReleases = 26;
constexpr int32_t kTableJob = 50;
constexpr int32_t kActionJobFinished = 40;
constexpr int32_t kActionJobReleased = 56;

// A sum that reads null (no count at all) is no quantity.
std::string QuantityText(const dbaccess::Variant& value) {
  return HasValue(value) ? std::to_string(value.ToInt64()) : "0";
}

}  // namespace

bool ReferenceHandlers::DoJobStart(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  const std::string& strJobNumber = command.param;
  strError.clear();
  return RunHandlerTransaction(true, kMsgJobStartLocked, strError, [&] {
    const int32_t lCurrentID = records_.GetCurrentMachineDataID(command.machine, dtCurrentTime);
    events_.AddEventRecord(command.machine, intake_.GetCommandIDForType(commandtype::kJob),
                           strJobNumber, dtCurrentTime, false);
    int32_t lJobID = reference_.GetJobIDByNumber(strJobNumber);
    if (lJobID == -1) {
      int32_t lPartID = -1;
      const JobCreation created = reference_.AutoJobCreate(dtCurrentTime, strJobNumber, lJobID,
                                                           lMachineID, strError, lPartID);
      // Without a part the job stays an unresolved number; any other
      // outcome (option 9 off included) stores nothing.
      if (created == JobCreation::kNotCreated) return false;
      if (created == JobCreation::kNoCurrentPart) {
        strError.clear();
        lJobID = -1;
      }
    }
    const std::string strNumber = UpperCaseText(strJobNumber);
    dbaccess::RecordsetPtr rs = records_.OpenMachineDataRecord(lCurrentID);
    if (!HoldsSameReference(*rs, kJobColumns, lJobID, strNumber, true)) {
      const auto writeJob = [&](dbaccess::Recordset& rsTarget) {
        WriteReference(rsTarget, kJobColumns, lJobID, strNumber);
      };
      if (rs->Fields("START_TIME").Value().ToDateTime() == dtCurrentTime) {
        writeJob(*rs);
        rs->Update();
      } else {
        records_.SplitMachineDataRecord(lMachineID, *rs, MachineDataSplitKind::Job, dtCurrentTime,
                                        writeJob);
      }
    }
    CloseRecordset(rs);

    if (GetBoolOption(kOptJobStartsPart)) {
      const CommandContext partStart =
          command.WithParam(reference_.GetFirstPartNumberForJob(strJobNumber))
              .InCallersTransaction();
      if (!DoPartStart(partStart, strError)) {
        return false;
      }
    }
    if (lJobID == -1) return true;
    const dbaccess::Variant vStatus =
        GetScalarValue("select STATUS_CODE from T_SFC_JOB" + voltrane::NoLockHint(DatabaseType()) +
                       " where JOB_ID = " + std::to_string(lJobID));
    if (IdOrNone(vStatus) != 0 || !GetBoolOption(kOptJobStartReleases)) return true;
    // An actual start recorded before stays.
    if (!ExecuteSQL("UPDATE T_SFC_JOB set STATUS_CODE = 1, ACTUAL_START = " +
                        voltrane::IIF(DatabaseType(), "not ACTUAL_START is NULL", "ACTUAL_START",
                                      voltrane::DateTimeLiteral(DatabaseType(), dtCurrentTime)) +
                        " WHERE JOB_ID = " + std::to_string(lJobID),
                    strError)) {
      return false;
    }
    int32_t lUserID = -1, lHistoryID = -1;
    const std::string strUser = reference_.GetMachineUserDisplay(lMachineID, lUserID);
    const std::string strJob = reference_.GetJobDisplayName(lJobID);
    reference_.WriteHistory(lJobID, kTableJob, kActionJobReleased,
                            strUser + " released Job " + strJob + " to the Shop Floor", strJob, "",
                            -1, -1, -1, -1, -1, -1, -1, -1, lUserID, lHistoryID);
    return true;
  });
}

bool ReferenceHandlers::DoJobEnd(const CommandContext& command, std::string& strError) {
  const int32_t lMachineID = command.machine.lMachineID;
  const dbaccess::DateTime& dtCurrentTime = command.time;
  strError.clear();
  // The running part ends first, in a transaction of its own.
  if (!RunHandlerTransaction(false, kMsgJobEndLocked, strError, [&] {
        if (!GetBoolOption(kOptJobStartsPart) || !reference_.HasPartEventRow(lMachineID))
          return true;
        return DoPartEnd(command, strError);
      })) {
    return false;
  }
  return RunHandlerTransaction(true, kMsgJobEndLocked, strError, [&] {
    const int32_t lCurrentID = records_.GetCurrentMachineDataID(command.machine, dtCurrentTime);
    if (!events_.SetEventStopTime(lMachineID, intake_.GetCommandIDForType(commandtype::kJob),
                                  dtCurrentTime, 1)) {
      strError = LoadResMessage(kMsgJobEndLocked);
      return false;
    }
    dbaccess::RecordsetPtr rs = records_.OpenMachineDataRecord(lCurrentID);
    const int32_t lJobID = IdOrNone(rs->Fields("JOB_ID").Value());
    if (HoldsReference(*rs, kJobColumns)) {
      records_.SplitMachineDataRecord(
          lMachineID, *rs, MachineDataSplitKind::Job, dtCurrentTime,
          [](dbaccess::Recordset& rsNew) { ClearReference(rsNew, kJobColumns); });
    }
    CloseRecordset(rs);
    // Without a resolved job there is nothing to finish, and a history line
    // naming no job would only mislead.
    if (lJobID == -1 || !GetBoolOption(kOptJobEndFinishes)) return true;
    if (!BookJobQuantities(lMachineID, lJobID, strError)) return false;
    if (!ExecuteSQL("UPDATE T_SFC_JOB set STATUS_CODE = 2, ACTUAL_STOP = " +
                        voltrane::DateTimeLiteral(DatabaseType(), dtCurrentTime) +
                        " WHERE JOB_ID = " + std::to_string(lJobID),
                    strError)) {
      return false;
    }
    int32_t lUserID = -1, lHistoryID = -1;
    const std::string strUser = reference_.GetMachineUserDisplay(lMachineID, lUserID);
    const std::string strJob = reference_.GetJobDisplayName(lJobID);
    reference_.WriteHistory(lJobID, kTableJob, kActionJobFinished,
                            strUser + " finished Job " + strJob, strJob, "", -1, -1, -1, -1, -1, -1,
                            -1, -1, lUserID, lHistoryID);
    return true;
  });
}

bool ReferenceHandlers::BookJobQuantities(int32_t lMachineID, int32_t lJobID,
                                          std::string& strError) {
  const std::string strHint = voltrane::NoLockHint(DatabaseType());
  const std::string strTotals =
      "select JOB_ID, PART_ID, sum(GOOD_COUNT) as good, sum(SCRAPPED_COUNT) as scrapped from "
      "T_SFC_MACHINE_DATA " +
      strHint + " where MACHINE_ID = " + std::to_string(lMachineID) +
      " and JOB_ID = " + std::to_string(lJobID) + " Group by JOB_ID, PART_ID";
  dbaccess::RecordsetPtr rs = OpenQuery(
      "select PART_PER_JOB_ID, good, scrapped from T_SFC_PART_PER_JOB ppj" + strHint +
      " inner join (" + strTotals + ")md on md.JOB_ID = ppj.JOB_ID and md.PART_ID = ppj.PART_ID");
  bool bDone = true;
  for (; bDone && !rs->Eof(); rs->MoveNext()) {
    bDone = ExecuteSQL(
        "UPDATE T_SFC_PART_PER_JOB Set ACTUAL_QTY = " + QuantityText(rs->Fields("good").Value()) +
            ", SCRAPPED_QTY = " + QuantityText(rs->Fields("scrapped").Value()) +
            " WHERE PART_PER_JOB_ID = " +
            std::to_string(IdOrNone(rs->Fields("PART_PER_JOB_ID").Value())),
        strError);
  }
  CloseRecordset(rs);
  return bDone;
}

}  // namespace korvex7::internal
