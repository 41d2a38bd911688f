// Handlers: what each command does to a machine's state -- the logon, job,
// operation, part and serial-number handlers, the setup, teardown, cycle,
// downtime, idle and part-count handlers, custom commands as events, the
// event records they all keep (T_SFC_EVENT) and the cycle status lock that
// filters activity commands (the *_handlers.cpp files, activity_rows.cpp,
// activity_switch.cpp, custom_commands.cpp, event_records.cpp,
// cycle_status_lock.cpp; cycle_status_lock_rules.h and
// part_count_parameters.h hold its pure parts).
//
// May touch: the session; the machine's records through machine records,
// events, downtime and scrap rows, job part lists. Calls machine records,
// reference data and intake (command and machine lookups). Every handler
// runs in the session's RunHandlerTransaction, its one error path, and
// returns true on success or false with strError set; a command the lock
// filters returns false with an empty strError. Every handler has the one
// signature of a HandlerFunction (handler_table.h) over a command context
// (command_context.h) and keeps nothing of it; RunCommand picks it through
// the handler table.
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_HANDLERS_HANDLERS_H_
#define VOLTRANE_LIBRARY_HANDLERS_HANDLERS_H_

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dbaccess/date_time.h"
#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"
#include "library/core/log_entry.h"
#include "library/handlers/command_context.h"
#include "library/session/session.h"

class Intake;
class MachineRecords;
class ReferenceData;

class Handlers : public SessionClient {
 public:
  Handlers(Session& session, Intake& intake, MachineRecords& records, ReferenceData& reference)
      : SessionClient(session), intake_(intake), records_(records), reference_(reference) {}

  // The public pre-processing operation (korvex7.h): turns the custom starts
  // of type code 0 into events in bulk on SQL Server before a batch is read.
  bool DoPreProcessCustomCommands(std::string& strError, bool& bCleanStart);
  // (Re)loads the cycle status locks; the loop asks before each batch.
  void LoadCycleStatusLocks();
  // Runs the handler the handler table names for the command's type and time
  // code (run_command.cpp); true when there is none. A handler's failure is
  // its text in strError; database errors outside its transaction escape.
  bool RunCommand(const LogEntry& entry, std::string& strError);

  // Event records and custom commands (event_records.cpp, custom_commands.cpp).
  // Opens an event (ending the open one of the same command and machine);
  // returns its key, 0 for a "both" event on SQL Server. Throws ComError
  // (source "AddEventRecord") naming the step that failed.
  int32_t AddEventRecord(const MachineKeys& machine, int32_t lCommandID,
                         const std::string& strParam, const dbaccess::DateTime& dtCurrentTime,
                         bool bBoth);
  // Ends the open event of the command on the machine; retries 12 times, 5 s
  // apart, then returns false. pbEnded: whether an open event was ended.
  bool SetEventStopTime(int32_t lMachineID, int32_t lCommandID,
                        const dbaccess::DateTime& dtCurrentTime, int32_t lAttempt,
                        bool* pbEnded = nullptr);
  bool DoCustomStart(const CommandContext& command, std::string& strError);
  bool DoCustomEnd(const CommandContext& command, std::string& strError);
  bool DoCustomBoth(const CommandContext& command, std::string& strError);
  // The sign of life was recorded before the handler: only traced.
  bool DoProcessHeartBeatCommand(const CommandContext& command, std::string& strError);

  // Logon, job, operation, part and serial-number handlers
  // (logon_handlers.cpp, job_handlers.cpp, operation_handlers.cpp,
  // part_handlers.cpp, serial_number_handlers.cpp). Each returns true on
  // success and fills strError on failure.
  bool DoLogonStart(const CommandContext& command, std::string& strError);
  bool DoLogonEnd(const CommandContext& command, std::string& strError);
  bool DoJobStart(const CommandContext& command, std::string& strError);
  bool DoJobEnd(const CommandContext& command, std::string& strError);
  bool DoOpStart(const CommandContext& command, std::string& strError);
  bool DoOpEnd(const CommandContext& command, std::string& strError);
  // The logon start, part start and serial-number end run inside the
  // caller's transaction when the context says so (in_callers_transaction).
  bool DoPartStart(const CommandContext& command, std::string& strError);
  bool DoPartEnd(const CommandContext& command, std::string& strError);
  bool DoPartSerialNoStart(const CommandContext& command, std::string& strError);
  bool DoPartSerialNoEnd(const CommandContext& command, std::string& strError);
  // Begins a transaction unless bTransactionOpen (and sets it); a failure,
  // the begin's included, escapes as an exception for the caller to report.
  bool FindSerialOnOtherMachine(const std::string& strSerialNo, const MachineKeys& machine,
                                const dbaccess::DateTime& dtCurrentTime, bool& bTransactionOpen,
                                int32_t& lOtherMachineID);
  // Steps shared by these handlers, in the files of the handlers they serve.
  // Closes only the first open user downtime of the record.
  void CloseFirstOpenUserDowntime(int32_t lMachineDataID, const dbaccess::DateTime& dtTime);
  // SHIFT_ID, SHIFT_END and CHART_DATE of the shift the user works at dtTime.
  void WriteShiftColumns(dbaccess::Recordset& rs, int32_t lMachineID,
                         const dbaccess::DateTime& dtTime, const std::string& strUserName);
  // The part columns of a found part (lPartID not -1) or an unresolved number.
  void WritePartColumns(dbaccess::Recordset& rs, int32_t lMachineID, int32_t lPartID,
                        const dbaccess::Variant& vPartTypeID, const std::string& strPartNumber);
  // Creates the job whose number was entered unresolved in this very record
  // before its part was known, and links the record to it.
  void CreateDeferredJob(dbaccess::Recordset& rs, int32_t lMachineID, int32_t lPartID,
                         const dbaccess::DateTime& dtTime, std::string& strError);
  // Writes this machine's good and scrapped totals of the job into the job's
  // part list rows; false with the failing statement's error text.
  bool BookJobQuantities(int32_t lMachineID, int32_t lJobID, std::string& strError);
  // Ends the serial number held by the current record lCurrentID: stops the
  // serial event and, only when the record holds a serial number, counts a
  // running cycle as unfinished in the closing record and splits it
  // (lCurrentID then names the new record; bCutCycle tells whether a cycle
  // was counted). bRestartCycleEvent also restarts the cycle event at the
  // cut; the part handlers restart it once themselves. False when an event
  // could not be ended.
  bool EndRunningSerialNumber(const MachineKeys& machine, int32_t& lCurrentID,
                              const dbaccess::DateTime& dtTime, bool bRestartCycleEvent,
                              bool& bCutCycle);

  // Setup, teardown, cycle, downtime, idle and part-count handlers and the
  // cycle status lock (activity_handlers.cpp, downtime_handlers.cpp,
  // part_count_handlers.cpp, cycle_status_lock.cpp). A command the lock
  // filters returns false with an empty strError.
  // rsCurrent: the current record when the handler has it open already
  // (null: it is read here).
  void StopCurrentActivity(int32_t lMachineDataID, const dbaccess::DateTime& dtCurrentTime,
                           int32_t lMachineID, int32_t lNewActivity,
                           dbaccess::RecordsetPtr rsCurrent = nullptr);
  bool DoSetupStart(const CommandContext& command, std::string& strError);
  bool DoSetupEnd(const CommandContext& command, std::string& strError);
  bool DoTeardownStart(const CommandContext& command, std::string& strError);
  bool DoTeardownEnd(const CommandContext& command, std::string& strError);
  bool DoCycleStart(const CommandContext& command, std::string& strError);
  bool DoCycleEnd(const CommandContext& command, std::string& strError);
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
  bool IsCommandLocked(int32_t lMachineID, int32_t lStatus, int32_t lKind, int32_t lDowntimeCodeID,
                       const std::string& strEndName);
  // Shared steps of those handlers (activity_handlers.cpp,
  // activity_rows.cpp, part_count_handlers.cpp).
  // Ends the open events of the commands of these type codes, in order;
  // false at the first that cannot be ended.
  bool StopEventsOfTypes(int32_t lMachineID, std::initializer_list<int32_t> alTypeCodes,
                         const dbaccess::DateTime& dtCurrentTime);
  // Closes the first open downtime row of the record with that
  // DOWNTIME_TYPE_CODE at the time.
  void CloseOpenDowntime(int32_t lMachineDataID, int32_t lDowntimeTypeCode,
                         const dbaccess::DateTime& dtCurrentTime);
  // Opens a downtime row of the record with the code triple (lCodeID -1: the
  // number is kept and the row is its own data start); returns its key.
  int32_t AddDowntimeRow(int32_t lMachineDataID, int32_t lDowntimeTypeCode, int32_t lCodeID,
                         const std::string& strCodeNumber, const dbaccess::DateTime& dtCurrentTime);
  // Adds a scrap row of the record, with the same rule for its code triple.
  void AddScrapRow(int32_t lMachineDataID, int32_t lQuantity, int32_t lCodeID,
                   const std::string& strCodeNumber, const dbaccess::DateTime& dtCurrentTime);
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

 private:
  int32_t AddEventRecordByProcedure(const MachineKeys& machine, int32_t lCommandID,
                                    const std::string& strParam,
                                    const dbaccess::DateTime& dtCurrentTime, bool bBoth);
  int32_t AddEventRecordByRecordsets(const MachineKeys& machine, int32_t lCommandID,
                                     const std::string& strParam,
                                     const dbaccess::DateTime& dtCurrentTime, bool bBoth);
  // The commands among alCommandIDs with an open event on the machine, read
  // at once; nullopt on SQL Server (its procedure is asked for each) or when
  // the read failed.
  std::optional<std::set<int32_t>> CommandsWithOpenEvents(int32_t lMachineID,
                                                          const std::vector<int32_t>& alCommandIDs);
  bool SetEventStopTimeByProcedure(int32_t lMachineID, int32_t lCommandID,
                                   const dbaccess::DateTime& dtCurrentTime, bool* pbEnded);
  void SetEventStopTimeByRecordsets(int32_t lMachineID, int32_t lCommandID,
                                    const dbaccess::DateTime& dtCurrentTime, bool* pbEnded);
  // PostgreSQL's server functions (event_functions.cpp). nullopt or false:
  // the call failed and left nothing behind; the caller runs the statements.
  bool UsesServerEventFunctions() const;
  std::optional<int32_t> CallServerEventFunction(const std::string& strCall,
                                                 const std::vector<dbaccess::Variant>& params);
  std::optional<int32_t> AddEventRecordByFunction(const MachineKeys& machine, int32_t lCommandID,
                                                  const std::string& strParam,
                                                  const dbaccess::DateTime& dtCurrentTime,
                                                  bool bBoth);
  bool SetEventStopTimeByFunction(int32_t lMachineID, int32_t lCommandID,
                                  const dbaccess::DateTime& dtCurrentTime, bool* pbEnded);

  Intake& intake_;
  MachineRecords& records_;
  ReferenceData& reference_;

  // Cycle-status locks: options 4 and 5 and every downtime code's lock value.
  int32_t m_lSetupLock = 0;
  int32_t m_lTeardownLock = 0;
  std::optional<std::map<int32_t, int32_t>> m_dictDowntimeLocks;  // none until loaded

  // Boolean option 23, read once by the part-count handlers.
  bool m_bCountPartsOption = false;
  bool m_bCountPartsOptionRead = false;
};

#endif  // VOLTRANE_LIBRARY_HANDLERS_HANDLERS_H_
