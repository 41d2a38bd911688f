// Activity handlers: what a machine is doing -- setup, teardown, cycle,
// machine and user downtime, idle and the part counts (activity_handlers.cpp,
// downtime_handlers.cpp, part_count_handlers.cpp), the period switch and
// downtime and scrap rows of a record (activity_switch.cpp,
// activity_rows.cpp) and the cycle status lock that may make a machine
// ignore any of these commands (cycle_status_lock.cpp; its pure rules in
// cycle_status_lock_rules.h).
//
// May touch: the session; the machine's records through machine records,
// downtime and scrap rows. Calls the event and reference handlers (a cycle
// or count on a record without a part starts an empty part; a user downtime
// may log on an anonymous user), machine records, reference data and intake.
// Each handler runs in the session's RunHandlerTransaction and returns true
// on success or false with strError set; a command the lock filters returns
// false with an empty strError.
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_HANDLERS_ACTIVITY_HANDLERS_H_
#define VOLTRANE_LIBRARY_HANDLERS_ACTIVITY_HANDLERS_H_

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>

#include "dbaccess/date_time.h"
#include "dbaccess/recordset.h"
#include "library/core/log_entry.h"
#include "library/handlers/command_context.h"
#include "library/session/session.h"

namespace korvex7::internal {

enum class HandlerOutcome;  // library/core/handler_outcome.h
class EventHandlers;
class Intake;
class MachineRecords;
class ReferenceData;
class ReferenceHandlers;

class ActivityHandlers : public TransactionClient {
 public:
  ActivityHandlers(Session& session, Intake& intake, MachineRecords& records,
                   ReferenceData& reference, EventHandlers& events,
                   ReferenceHandlers& reference_handlers)
      : TransactionClient(session),
        intake_(intake),
        records_(records),
        reference_(reference),
        events_(events),
        reference_handlers_(reference_handlers) {}

  // (Re)loads the cycle status locks; the loop asks before each batch.
  void LoadCycleStatusLocks();

  bool DoSetupStart(const CommandContext& command, std::string& strError);
  bool DoSetupEnd(const CommandContext& command, std::string& strError);
  bool DoTeardownStart(const CommandContext& command, std::string& strError);
  bool DoTeardownEnd(const CommandContext& command, std::string& strError);
  bool DoCycleStart(const CommandContext& command, std::string& strError);
  bool DoCycleEnd(const CommandContext& command, std::string& strError);
  // A late heartbeat's downtime (late_heart_beat in the context) is never
  // filtered by the lock.
  bool DoMachineDowntimeStart(const CommandContext& command, std::string& strError);
  bool DoMachineDowntimeEnd(const CommandContext& command, std::string& strError);
  bool DoUserDowntimeStart(const CommandContext& command, std::string& strError);
  bool DoUserDowntimeEnd(const CommandContext& command, std::string& strError);
  bool DoGoodPartCount(const CommandContext& command, std::string& strError);
  bool DoScrappedPartCount(const CommandContext& command, std::string& strError);
  bool DoIdleStart(const CommandContext& command, std::string& strError);

  // The parameterised query (@MachineID, @DowntimeCodeID) that finds a
  // machine's current downtime of a code with the machine's STATUS_DATE.
  std::string CurrentDowntimeQueryText();

  // Opens a downtime row of the record with the code triple (lCodeID -1: the
  // number is kept and the row is its own data start); returns its key.
  int32_t AddDowntimeRow(int32_t lMachineDataID, int32_t lDowntimeTypeCode, int32_t lCodeID,
                         const std::string& strCodeNumber, const dbaccess::DateTime& dtCurrentTime);
  // Adds a scrap row of the record, with the same rule for its code triple.
  void AddScrapRow(int32_t lMachineDataID, int32_t lQuantity, int32_t lCodeID,
                   const std::string& strCodeNumber, const dbaccess::DateTime& dtCurrentTime);

 private:
  bool IsCommandLocked(int32_t lMachineID, int32_t lStatus, int32_t lKind, int32_t lDowntimeCodeID,
                       const std::string& strEndName);
  // Switches the record to the period of lNewActivity. rsCurrent: the
  // current record when the handler has it open already (null: it is read
  // here).
  void StopCurrentActivity(int32_t lMachineDataID, const dbaccess::DateTime& dtCurrentTime,
                           int32_t lMachineID, int32_t lNewActivity,
                           dbaccess::RecordsetPtr rsCurrent = nullptr);
  // Closes the first open downtime row of the record with that
  // DOWNTIME_TYPE_CODE at the time.
  void CloseOpenDowntime(int32_t lMachineDataID, int32_t lDowntimeTypeCode,
                         const dbaccess::DateTime& dtCurrentTime);
  // Starts a part with an empty number when the machine's current record has
  // no part, so that cycles and counts belong to a part record.
  bool EnsureCurrentRecordHasPart(const CommandContext& command, std::string& strError);
  HandlerOutcome StartActivity(const CommandContext& command, int32_t lMachineDataID,
                               dbaccess::RecordsetPtr rsCurrent, int32_t lLockedMessage,
                               std::initializer_list<int32_t> alStopTypes, int32_t lActivity,
                               std::string& strError);
  bool EndActivity(const MachineKeys& machine, const dbaccess::DateTime& dtCurrentTime,
                   int32_t lLockedMessage, int32_t lEventType, const char* strEndName,
                   std::string& strError);
  // With option 23 a count ends the open cycle event and starts the next;
  // false when the open one cannot be ended.
  bool MarkCountCycleBoundary(const CommandContext& command);
  // Runs a count's steps on the current record (its id and the record, open),
  // after the part check.
  bool CountParts(const CommandContext& command, int32_t lLockedMessage,
                  const std::function<HandlerOutcome(int32_t, dbaccess::RecordsetPtr&)>& count,
                  std::string& strError);

  Intake& intake_;
  MachineRecords& records_;
  ReferenceData& reference_;
  EventHandlers& events_;
  ReferenceHandlers& reference_handlers_;

  // Cycle-status locks: options 4 and 5 and every downtime code's lock value.
  int32_t setup_lock_ = 0;
  int32_t teardown_lock_ = 0;
  std::optional<std::map<int32_t, int32_t>> downtime_locks_;  // none until loaded

  // Boolean option 23, read once by the part-count handlers.
  bool count_parts_option_ = false;
  bool count_parts_option_read_ = false;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_HANDLERS_ACTIVITY_HANDLERS_H_
