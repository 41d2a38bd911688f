// Event handlers: the event records every handler keeps (T_SFC_EVENT and
// the machine's open event per command in T_SFC_MACHINE_EVENT) and the
// custom commands, which are nothing but events (event_records.cpp,
// event_functions.cpp, custom_commands.cpp). The lowest of the three handler
// groups: the reference and activity handlers call it, it calls neither.
//
// May touch: the session; events and machine events. Calls intake (command
// lookups) and machine records (the key of an inserted row). A handler runs
// in the session's RunHandlerTransaction and returns true on success or
// false with strError set.
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_HANDLERS_EVENT_HANDLERS_H_
#define VOLTRANE_LIBRARY_HANDLERS_EVENT_HANDLERS_H_

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dbaccess/date_time.h"
#include "dbaccess/variant.h"
#include "library/core/log_entry.h"
#include "library/handlers/command_context.h"
#include "library/session/session.h"

namespace korvex7::internal {

class Intake;
class MachineRecords;

class EventHandlers : public TransactionClient {
 public:
  EventHandlers(Session& session, Intake& intake, MachineRecords& records)
      : TransactionClient(session), intake_(intake), records_(records) {}

  // The public pre-processing operation (korvex7.h): turns the custom starts
  // of type code 0 into events in bulk on SQL Server before a batch is read.
  bool DoPreProcessCustomCommands(std::string& strError, bool& bCleanStart);

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
  // Ends the open events of the commands of these type codes, in order;
  // false at the first that cannot be ended.
  bool StopEventsOfTypes(int32_t lMachineID, std::initializer_list<int32_t> alTypeCodes,
                         const dbaccess::DateTime& dtCurrentTime);

  bool DoCustomStart(const CommandContext& command, std::string& strError);
  bool DoCustomEnd(const CommandContext& command, std::string& strError);
  bool DoCustomBoth(const CommandContext& command, std::string& strError);
  // The sign of life was recorded before the handler: only traced.
  bool DoProcessHeartBeatCommand(const CommandContext& command, std::string& strError);

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
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_HANDLERS_EVENT_HANDLERS_H_
