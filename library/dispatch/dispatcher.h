// Dispatcher: hands one log row, a LogEntry value, to the handler the
// dispatch table names for its command type and time code
// (command_dispatch.cpp, command_dispatch_table.h, command_types.h,
// handler_outcome.h). ProcessCommand runs a row the loop read: it copies
// the row to the log history, lets the monitor see its sign of life, runs
// the handler and checks the machine's downtime limits after a successful
// one; what the loop does with the row is its RowOutcome. PostHeartbeatCommand runs
// the handler of a synthetic command the monitor builds, through the same
// table; nothing of the row being processed is kept.
//
// May touch: nothing of its own; calls the log processor (history copy),
// machine records (a refresh request), the handlers, the monitor and intake
// (the command's type code). Database errors outside the handlers escape.
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_DISPATCH_DISPATCHER_H_
#define VOLTRANE_LIBRARY_DISPATCH_DISPATCHER_H_

#include <string>

#include "library/dispatch/command_dispatch_table.h"
#include "library/log/log_entry.h"
#include "library/log/row_outcome.h"
#include "library/session/session.h"

class Handlers;
class Intake;
class LogProcessor;
class MachineRecords;
class Monitor;

class Dispatcher : public SessionClient {
 public:
  Dispatcher(Session& session, Intake& intake, MachineRecords& records, Handlers& handlers,
             Monitor& monitor, LogProcessor& log)
      : SessionClient(session),
        intake_(intake),
        records_(records),
        handlers_(handlers),
        monitor_(monitor),
        log_(log) {}

  RowOutcome ProcessCommand(const LogEntry& entry, std::string& strError);
  // A failure of the synthetic command is traced, the handler's text handed
  // over; the row being processed goes on.
  void PostHeartbeatCommand(const LogEntry& command, std::string& strError);

 private:
  bool RunCommandHandler(const LogEntry& entry, std::string& strError);
  bool RunMachineStateHandler(CommandHandler handler, const LogEntry& entry, std::string& strError);

  Intake& intake_;
  MachineRecords& records_;
  Handlers& handlers_;
  Monitor& monitor_;
  LogProcessor& log_;
};

#endif  // VOLTRANE_LIBRARY_DISPATCH_DISPATCHER_H_
