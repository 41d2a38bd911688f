// Event records through PostgreSQL's server functions (server_functions.cpp):
// one call where event_records.cpp runs three or four statements, with the
// same rows. A call that fails leaves nothing behind (the statement is
// rolled back alone), and the statements then run instead: a failure gives
// the same text and the same partial work as before the functions, at the
// cost of a second try. A function found missing (the database was replaced
// under a running loop) is forgotten, and the statements run from then on.
// Processing thread only.
#include <string>

#include "dbaccess/db_error.h"
#include "library/handlers/event_handlers.h"
#include "library/session/extended_error_log.h"
#include "library/session/sql_date_time.h"

namespace korvex7::internal {

namespace {

// SQLSTATE undefined_function.
constexpr const char* kUndefinedFunction = "42883";

enum StopTimeResult { kNoMachineEvent = 0, kNoOpenEvent = 1, kEnded = 2, kEventGone = 3 };

}  // namespace

bool EventHandlers::UsesServerEventFunctions() const {
  return dialect().event_steps == voltrane::EventSteps::kServerFunctions &&
         ServerEventFunctions();
}

// nullopt when the call failed.
std::optional<int32_t> EventHandlers::CallServerEventFunction(
    const std::string& strCall, const std::vector<dbaccess::Variant>& params) {
  try {
    const dbaccess::ResultTable result = connection()->Query("select " + strCall, params);
    if (result.rows.size() != 1 || result.rows[0].empty()) {
      throw dbaccess::DbError(dbaccess::kErrCommandFailed,
                              "The database function returned no value: " + strCall);
    }
    return result.rows[0][0].ToLong();
  } catch (const dbaccess::DbError& error) {
    WriteExtendedErrorLog("Server function failed, using statements: " + strCall + " - " +
                          error.description());
    if (error.native() == kUndefinedFunction) SetServerEventFunctions(false);
    return std::nullopt;
  }
}

std::optional<int32_t> EventHandlers::AddEventRecordByFunction(
    const MachineKeys& machine, int32_t lCommandID, const std::string& strParam,
    const dbaccess::DateTime& dtCurrentTime, bool bBoth) {
  WriteExtendedErrorLog("AddEventRecord(MachineID =" + std::to_string(machine.lMachineID) +
                        ", CommandID =" + std::to_string(lCommandID) +
                        ", CurrentTime =" + FormatSQLDateTime(dtCurrentTime) + ")");
  return CallServerEventFunction(
      "AddEventRecord(?, ?, ?, ?, ?, ?, ?, ?)",
      {machine.lDeptID, machine.lLocationID, machine.lGroupID, machine.lMachineID, lCommandID,
       strParam.empty() ? dbaccess::Variant::Null() : dbaccess::Variant(strParam), dtCurrentTime,
       bBoth ? 1 : 0});
}

// Throws where the statements would have (the machine pointed to an event
// that is gone); the caller retries.
bool EventHandlers::SetEventStopTimeByFunction(int32_t lMachineID, int32_t lCommandID,
                                               const dbaccess::DateTime& dtCurrentTime,
                                               bool* pbEnded) {
  const std::optional<int32_t> lResult =
      CallServerEventFunction("SetEventStopTime(?, ?, ?)", {lMachineID, lCommandID, dtCurrentTime});
  if (!lResult) return false;
  switch (*lResult) {
    case kNoMachineEvent:
      if (pbEnded != nullptr) *pbEnded = false;
      break;
    case kNoOpenEvent:
      break;
    case kEnded:
      if (pbEnded != nullptr) *pbEnded = true;
      break;
    default:
      // The machine pointed to an event that is gone.
      throw dbaccess::DbError(dbaccess::kErrNoCurrentRecord,
                              "Either BOF or EOF is True, or the current record has been deleted. "
                              "Requested operation requires a current record.");
  }
  return true;
}

}  // namespace korvex7::internal
