// The library's components over one session, wired together: what the
// facade (korvex7_obj.h) delegates to and what the tests build directly.
//
// The shape of the library, each component in its own folder:
//   session/    Session: connection, statements, recordsets, transactions,
//               options, extended error log, clock
//   intake/     Intake: appends to the machine data log; machine and
//               command lookups
//   core/       the values every component shares: LogEntry, MachineKeys,
//               RowOutcome, HandlerOutcome, the out-of-order refusal
//   log/        LogProcessor: the processing loop, one row's steps, batch
//               cache, delete queue, log history, failed and out-of-order
//               rows; the only caller of the monitor
//   dispatch/   the command type codes
//   handlers/   Handlers: what each command does to a machine's state, in
//               three groups (events, reference, activity) over one
//               command context, and the handler table that picks the
//               handler of a row
//   records/    MachineRecords: machine data records, status, shifts
//   reference/  ReferenceData: lookups, automatic creation, audit history
//   monitor/    Monitor: heartbeats and downtime timeouts; its synthetic
//               commands run through the handler table
//   schema/     SchemaMaintenance: startup checks, stored procedures,
//               machine pointer repair
//
// A component holds references to the components it calls, each declared
// (and so built) before it: no component calls one after it in the member
// list, and none calls back into its caller. The log processor sees the
// records and the monitor through narrow interfaces (record_refresh.h,
// log_monitor.h), where a loop test puts stand-ins (LoopSeams).
// Thread rule: the whole set is used by the thread that created it.
#ifndef VOLTRANE_LIBRARY_COMPONENTS_H_
#define VOLTRANE_LIBRARY_COMPONENTS_H_

#include <memory>
#include <utility>

#include "dbaccess/clock.h"
#include "library/handlers/handlers.h"
#include "library/intake/intake.h"
#include "library/log/log_processor.h"
#include "library/monitor/monitor.h"
#include "library/records/machine_records.h"
#include "library/reference/reference_data.h"
#include "library/schema/schema_maintenance.h"
#include "library/session/session.h"

namespace korvex7::internal {

// What the log processor sees of the records and the monitor, when not the
// components themselves: a loop test's stand-ins, which outlive the set.
struct LoopSeams {
  RecordRefresh* refresh = nullptr;
  LogMonitor* monitor = nullptr;
};

struct Components {
  explicit Components(std::shared_ptr<dbaccess::Clock> clock = dbaccess::DefaultClock(),
                      LoopSeams seams = {})
      : session(std::move(clock)),
        reference(session),
        intake(session),
        records(session, reference),
        handlers(session, intake, records, reference),
        schema(session,
               [this](int32_t machine, int32_t& dept, int32_t& location, int32_t& group) {
                 return intake.GetMachineHierarchy(machine, dept, location, group);
               }),
        monitor(session, intake, handlers, schema),
        log(session, schema, seams.refresh ? *seams.refresh : records, handlers,
            seams.monitor ? *seams.monitor : monitor) {}
  Components(const Components&) = delete;
  Components& operator=(const Components&) = delete;

  Session session;
  ReferenceData reference;
  Intake intake;
  MachineRecords records;
  Handlers handlers;
  SchemaMaintenance schema;
  Monitor monitor;
  LogProcessor log;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_COMPONENTS_H_
