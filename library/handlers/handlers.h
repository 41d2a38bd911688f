// Handlers: what each command does to a machine's state, in three groups
// over one session -- the event handlers (event records and custom
// commands), the reference handlers (logon, job, operation, part, serial
// number) and the activity handlers (setup, teardown, cycle, downtime, idle,
// counts and the cycle status lock). Each group calls only the groups
// before it. RunCommand is the one way in for a log row or a monitor's
// synthetic command: the handler table (handler_table.h) names the one
// function of the one signature that the command's type and time code run.
//
// May touch: what its groups may (see their headers).
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_HANDLERS_HANDLERS_H_
#define VOLTRANE_LIBRARY_HANDLERS_HANDLERS_H_

#include <string>

#include "library/core/log_entry.h"
#include "library/handlers/activity_handlers.h"
#include "library/handlers/command_context.h"
#include "library/handlers/event_handlers.h"
#include "library/handlers/reference_handlers.h"

namespace korvex7::internal {

class Intake;
class MachineRecords;
class ReferenceData;
class Session;

class Handlers {
 public:
  Handlers(Session& session, Intake& intake, MachineRecords& records, ReferenceData& reference_data)
      : events(session, intake, records),
        reference(session, intake, records, reference_data, events),
        activity(session, intake, records, reference_data, events, reference),
        intake_(intake) {}

  // Runs the handler the handler table names for the command's type and time
  // code (run_command.cpp); true when there is none. A handler's failure is
  // its text in strError; database errors outside its transaction escape.
  bool RunCommand(const LogEntry& entry, std::string& strError);

  EventHandlers events;
  ReferenceHandlers reference;
  ActivityHandlers activity;

 private:
  Intake& intake_;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_HANDLERS_HANDLERS_H_
