// Event records: every command start opens a row of T_SFC_EVENT, every end
// closes it, and T_SFC_MACHINE_EVENT points to the open event of each
// command on each machine. Opening an event ends the open one of the same
// command on the same machine at the new start time, also for a "both"
// event (which opens and ends at once).
//
// On SQL Server the stored procedures AddEventRecord and SetEventStopTime do
// the bookkeeping and join the caller's transaction, on PostgreSQL the server
// functions of the same names (event_functions.cpp); on every other kind the
// same steps run here: the new event is inserted without a read, an event
// is ended by one update by its key, and only T_SFC_MACHINE_EVENT is read
// (for the event it points to). AddEventRecord raises
// ComError naming the step that failed; SetEventStopTime retries for about a
// minute and then reports false. Processing thread only.
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dbaccess/command.h"
#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "library/com_error.h"
#include "library/handlers/event_handlers.h"
#include "library/intake/intake.h"
#include "library/records/machine_records.h"
#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"
#include "library/session/sql_date_time.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kStopTimeAttempts = 12;
constexpr int64_t kStopTimeRetryMilliseconds = 5000;
constexpr int kParamTextSize = 255;

std::string ProcedureTrace(const char* name, int32_t lMachineID, int32_t lCommandID,
                           const dbaccess::DateTime& dtTime) {
  return name + std::to_string(lMachineID) + "," + std::to_string(lCommandID) + "," +
         FormatSQLDateTime(dtTime);
}

std::string MachineEventQuery(int32_t lMachineID, int32_t lCommandID) {
  return std::string("select * from T_SFC_MACHINE_EVENT ") +
         " where MACHINE_ID = " + std::to_string(lMachineID) +
         " and COMMAND_ID = " + std::to_string(lCommandID);
}

}  // namespace

int32_t EventHandlers::AddEventRecord(const MachineKeys& machine, int32_t lCommandID,
                                      const std::string& strParam,
                                      const dbaccess::DateTime& dtCurrentTime, bool bBoth) {
  if (dialect().event_steps == voltrane::EventSteps::kStoredProcedures) {
    return AddEventRecordByProcedure(machine, lCommandID, strParam, dtCurrentTime, bBoth);
  }
  if (UsesServerEventFunctions()) {
    if (const std::optional<int32_t> lEventID =
            AddEventRecordByFunction(machine, lCommandID, strParam, dtCurrentTime, bBoth)) {
      return *lEventID;
    }
  }
  return AddEventRecordByRecordsets(machine, lCommandID, strParam, dtCurrentTime, bBoth);
}

bool EventHandlers::StopEventsOfTypes(int32_t lMachineID,
                                      std::initializer_list<int32_t> alTypeCodes,
                                      const dbaccess::DateTime& dtCurrentTime) {
  std::vector<int32_t> alCommandIDs;
  for (const int32_t lTypeCode : alTypeCodes) {
    alCommandIDs.push_back(intake_.GetCommandIDForType(lTypeCode));
  }
  // Mostly none of several commands has an open event: one read tells,
  // instead of one per command.
  const std::optional<std::set<int32_t>> open =
      alCommandIDs.size() > 1 ? CommandsWithOpenEvents(lMachineID, alCommandIDs) : std::nullopt;
  for (const int32_t lCommandID : alCommandIDs) {
    if (open && open->count(lCommandID) == 0) continue;
    if (!SetEventStopTime(lMachineID, lCommandID, dtCurrentTime, 1)) return false;
  }
  return true;
}

int32_t EventHandlers::AddEventRecordByProcedure(const MachineKeys& machine, int32_t lCommandID,
                                                 const std::string& strParam,
                                                 const dbaccess::DateTime& dtCurrentTime,
                                                 bool bBoth) {
  const int32_t lMachineID = machine.lMachineID;
  using dbaccess::ParamDirection;
  using dbaccess::ParamType;
  try {
    dbaccess::Command command;
    command.SetActiveConnection(connection());
    command.SetCommandText("AddEventRecord");
    command.SetCommandType(dbaccess::CommandType::kStoredProcedure);
    command.AddParameter("RETURN_VALUE", ParamType::kInteger, ParamDirection::kReturnValue);
    command.AddParameter("DeptID", ParamType::kInteger, ParamDirection::kInput, 0, machine.lDeptID);
    command.AddParameter("LocationID", ParamType::kInteger, ParamDirection::kInput, 0,
                         machine.lLocationID);
    command.AddParameter("GroupID", ParamType::kInteger, ParamDirection::kInput, 0,
                         machine.lGroupID);
    command.AddParameter("MachineID", ParamType::kInteger, ParamDirection::kInput, 0, lMachineID);
    command.AddParameter("CommandID", ParamType::kInteger, ParamDirection::kInput, 0, lCommandID);
    command.AddParameter("strParam", ParamType::kText, ParamDirection::kInput, kParamTextSize,
                         strParam);
    command.AddParameter("dtCurrentTime", ParamType::kDateTime, ParamDirection::kInput, 0,
                         dtCurrentTime);
    command.AddParameter("isBoth", ParamType::kBoolean, ParamDirection::kInput, 0, bBoth);
    WriteExtendedErrorLog(ProcedureTrace("AddEventRecord", lMachineID, lCommandID, dtCurrentTime));
    command.Execute();
    const dbaccess::Variant& result = command.Param("RETURN_VALUE").value;
    return result.IsNull() || result.IsEmpty() ? 0 : result.ToLong();
  } catch (...) {
    const ErrorInfo error = CurrentError();
    throw ComError(error.number, "AddEventRecord", " - " + error.description);
  }
}

int32_t EventHandlers::AddEventRecordByRecordsets(const MachineKeys& machine, int32_t lCommandID,
                                                  const std::string& strParam,
                                                  const dbaccess::DateTime& dtCurrentTime,
                                                  bool bBoth) {
  const int32_t lMachineID = machine.lMachineID;
  std::string strStep = "AddEventRecord(MachineID =" + std::to_string(lMachineID) +
                        ", CommandID =" + std::to_string(lCommandID) +
                        ", CurrentTime =" + FormatSQLDateTime(dtCurrentTime) + ")";
  const std::string strStart = strStep;
  dbaccess::RecordsetPtr rs;
  try {
    strStep = strStart + " updating T_SFC_EVENT";
    MachineRecords::RowValues event = {{"START_TIME", dtCurrentTime}};
    if (bBoth) event.emplace_back("STOP_TIME", dtCurrentTime);
    event.emplace_back("COMMAND_ID", lCommandID);
    event.emplace_back("DEPT_ID", machine.lDeptID);
    event.emplace_back("LOCATION_ID", machine.lLocationID);
    event.emplace_back("GROUP_ID", machine.lGroupID);
    event.emplace_back("MACHINE_ID", lMachineID);
    event.emplace_back("PARAM1",
                       strParam.empty() ? dbaccess::Variant::Null() : dbaccess::Variant(strParam));
    const int32_t lEventID = records_.InsertRowReturningKey("T_SFC_EVENT", "EVENT_ID", event);

    strStep = strStart + " updating T_SFC_MACHINE_EVENT, for EventID=" + std::to_string(lEventID);
    const dbaccess::Variant vOpenEvent =
        bBoth ? dbaccess::Variant::Null() : dbaccess::Variant(lEventID);
    dbaccess::Variant vPreviousEvent = dbaccess::Variant::Null();
    rs = OpenQuery(MachineEventQuery(lMachineID, lCommandID), true);
    if (rs->RecordCount() == 1) {
      vPreviousEvent = rs->Fields("EVENT_ID").Value();
      rs->Fields("EVENT_ID") = vOpenEvent;
    } else {
      rs->AddNew();
      rs->Fields("MACHINE_ID") = lMachineID;
      rs->Fields("COMMAND_ID") = lCommandID;
      rs->Fields("EVENT_ID") = vOpenEvent;
    }
    rs->Update();
    CloseRecordset(rs);

    if (!vPreviousEvent.IsNull() && !vPreviousEvent.IsEmpty()) {
      // The previous event ends at the new start unless it has ended already.
      records_.ExecuteWithParameters(
          "update T_SFC_EVENT set STOP_TIME = ? where EVENT_ID = ? and STOP_TIME is null",
          {dtCurrentTime, vPreviousEvent.ToLong()});
    }
    return lEventID;
  } catch (...) {
    const ErrorInfo error = CurrentError();
    CloseRecordset(rs);
    throw ComError(error.number, "AddEventRecord", strStep + " - " + error.description);
  }
}

std::optional<std::set<int32_t>> EventHandlers::CommandsWithOpenEvents(
    int32_t lMachineID, const std::vector<int32_t>& alCommandIDs) {
  // The stored procedure ends events on SQL Server: it is asked every time.
  if (dialect().event_steps == voltrane::EventSteps::kStoredProcedures) return std::nullopt;
  std::string strIDs;
  for (const int32_t lCommandID : alCommandIDs) {
    if (!strIDs.empty()) strIDs += ",";
    strIDs += std::to_string(lCommandID);
  }
  dbaccess::RecordsetPtr rs;
  try {
    rs = OpenQuery("select COMMAND_ID from T_SFC_MACHINE_EVENT where MACHINE_ID = " +
                   std::to_string(lMachineID) + " and EVENT_ID is not null and COMMAND_ID in (" +
                   strIDs + ")");
    std::set<int32_t> open;
    for (; !rs->Eof(); rs->MoveNext()) open.insert(rs->Fields(size_t{0}).Value().ToLong());
    CloseRecordset(rs);
    return open;
  } catch (...) {
    // Each command is then tried on its own, with its retries.
    CloseRecordset(rs);
    return std::nullopt;
  }
}

bool EventHandlers::SetEventStopTime(int32_t lMachineID, int32_t lCommandID,
                                     const dbaccess::DateTime& dtCurrentTime, int32_t lAttempt,
                                     bool* pbEnded) {
  if (dialect().event_steps == voltrane::EventSteps::kStoredProcedures &&
      SetEventStopTimeByProcedure(lMachineID, lCommandID, dtCurrentTime, pbEnded)) {
    return true;
  }
  try {
    if (!UsesServerEventFunctions() ||
        !SetEventStopTimeByFunction(lMachineID, lCommandID, dtCurrentTime, pbEnded)) {
      SetEventStopTimeByRecordsets(lMachineID, lCommandID, dtCurrentTime, pbEnded);
    }
    return true;
  } catch (...) {
    const ErrorInfo error = CurrentError();
    WriteExtendedErrorLog("SetEventStopTime: " + FormatErrorText(error.number, error.description));
    // A lost connection does not come back by waiting: the row fails now and
    // the loop connects again (a collector group's member whose session the
    // server ended would otherwise stall for a minute).
    if (error.number == dbaccess::kErrGenericFailure) return false;
  }
  if (lAttempt >= kStopTimeAttempts) return false;
  WaitMilliseconds(kStopTimeRetryMilliseconds);
  return SetEventStopTime(lMachineID, lCommandID, dtCurrentTime, lAttempt + 1, pbEnded);
}

bool EventHandlers::SetEventStopTimeByProcedure(int32_t lMachineID, int32_t lCommandID,
                                                const dbaccess::DateTime& dtCurrentTime,
                                                bool* pbEnded) {
  using dbaccess::ParamDirection;
  using dbaccess::ParamType;
  try {
    dbaccess::Command command;
    command.SetActiveConnection(connection());
    command.SetCommandText("SetEventStopTime");
    command.SetCommandType(dbaccess::CommandType::kStoredProcedure);
    command.AddParameter("RETURN_VALUE", ParamType::kInteger, ParamDirection::kReturnValue);
    command.AddParameter("MachineID", ParamType::kInteger, ParamDirection::kInput, 0, lMachineID);
    command.AddParameter("CommandID", ParamType::kInteger, ParamDirection::kInput, 0, lCommandID);
    command.AddParameter("dtCurrentTime", ParamType::kDateTime, ParamDirection::kInput, 0,
                         dtCurrentTime);
    command.AddParameter("MachineEventID", ParamType::kInteger, ParamDirection::kOutput);
    command.AddParameter("DidStop", ParamType::kInteger, ParamDirection::kOutput);
    WriteExtendedErrorLog(
        ProcedureTrace("SetEventStopTime", lMachineID, lCommandID, dtCurrentTime));
    command.Execute();
    const dbaccess::Variant& vDidStop = command.Param("DidStop").value;
    WriteExtendedErrorLog("RETURN_VALUE:" + command.Param("RETURN_VALUE").value.Describe());
    WriteExtendedErrorLog("DidStop:" + vDidStop.Describe() +
                          ", MachineID = " + std::to_string(lMachineID) +
                          ", CommandID = " + std::to_string(lCommandID));
    WriteExtendedErrorLog("MachineEventID:" + command.Param("MachineEventID").value.Describe());
    if (pbEnded != nullptr) {
      *pbEnded = !vDidStop.IsNull() && !vDidStop.IsEmpty() && vDidStop.ToBool();
    }
    return true;
  } catch (...) {
    const ErrorInfo error = CurrentError();
    WriteExtendedErrorLog("SetEventStopTime Error:" + std::to_string(error.number) + " " +
                          error.description);
    return false;
  }
}

// Throws on any failure; the caller retries.
void EventHandlers::SetEventStopTimeByRecordsets(int32_t lMachineID, int32_t lCommandID,
                                                 const dbaccess::DateTime& dtCurrentTime,
                                                 bool* pbEnded) {
  dbaccess::RecordsetPtr rs;
  try {
    rs = OpenQuery(MachineEventQuery(lMachineID, lCommandID), true);
    if (rs->Eof()) {
      if (pbEnded != nullptr) *pbEnded = false;
      CloseRecordset(rs);
      return;
    }
    const dbaccess::Variant vEventID = rs->Fields("EVENT_ID").Value();
    if (vEventID.IsNull()) {
      CloseRecordset(rs);
      return;
    }
    const std::string strEventID = std::to_string(vEventID.ToLong());
    rs->Fields("EVENT_ID") = dbaccess::Variant::Null();
    rs->Update();
    CloseRecordset(rs);
    if (dialect().event_steps == voltrane::EventSteps::kStoredProcedures) {
      std::string strError;
      if (!ExecuteSQL(std::string(" UPDATE T_SFC_EVENT SET STOP_TIME = '") +
                          FormatSQLDateTime(dtCurrentTime) + "'" +
                          " WHERE EVENT_ID = " + strEventID,
                      strError)) {
        throw ComError(kErrUnexpected, "SetEventStopTime", strError);
      }
    } else if (records_.ExecuteWithParameters(
                   "update T_SFC_EVENT set STOP_TIME = ? where EVENT_ID = ?",
                   {dtCurrentTime, vEventID.ToLong()}) == 0) {
      // The machine pointed to an event that is gone.
      throw dbaccess::DbError(dbaccess::kErrNoCurrentRecord,
                              "Either BOF or EOF is True, or the current record has been deleted. "
                              "Requested operation requires a current record.");
    }
    if (pbEnded != nullptr) *pbEnded = true;
  } catch (...) {
    CloseRecordset(rs);
    throw;
  }
}

}  // namespace korvex7::internal
