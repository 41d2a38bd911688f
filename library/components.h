// The library's components over one session, wired together: what the
// facade (korvex7_obj.h) delegates to and what the tests build directly.
//
// The shape of the library, each component in its own folder:
//   session/    Session: connection, statements, recordsets, transactions,
//               options, extended error log, clock
//   intake/     Intake: appends to the machine data log; machine and
//               command lookups
//   log/        LogProcessor: the processing loop, batch cache, delete
//               queue, log history, failed and out-of-order rows
//   dispatch/   Dispatcher: one row (a LogEntry value) to its handler
//   handlers/   Handlers: what each command does to a machine's state
//   records/    MachineRecords: machine data records, status, shifts
//   reference/  ReferenceData: lookups, automatic creation, audit history
//   monitor/    Monitor: heartbeats and downtime timeouts
//   schema/     SchemaMaintenance: startup checks, stored procedures,
//               machine pointer repair
//
// A component holds references to the components it calls; the members are
// built in the order below, and a reference to one built later is only kept,
// never used, until the set is complete. The record and monitor types are
// parameters only so that a test can stand in for their outcomes.
// Thread rule: the whole set is used by the thread that created it.
#ifndef VOLTRANE_LIBRARY_COMPONENTS_H_
#define VOLTRANE_LIBRARY_COMPONENTS_H_

#include <memory>
#include <utility>

#include "dbaccess/clock.h"
#include "library/dispatch/dispatcher.h"
#include "library/handlers/handlers.h"
#include "library/intake/intake.h"
#include "library/log/log_processor.h"
#include "library/monitor/monitor.h"
#include "library/records/machine_records.h"
#include "library/reference/reference_data.h"
#include "library/schema/schema_maintenance.h"
#include "library/session/session.h"

template <class RecordsT, class MonitorT>
struct BasicComponents {
  explicit BasicComponents(std::shared_ptr<dbaccess::Clock> clock = dbaccess::DefaultClock())
      : session(std::move(clock)),
        reference(session),
        intake(session),
        records(session, reference),
        handlers(session, intake, records, reference),
        dispatcher(session, intake, records, handlers, monitor, log),
        monitor(session, intake, handlers, dispatcher, schema),
        schema(session, intake),
        log(session, schema, handlers, dispatcher, monitor) {}
  BasicComponents(const BasicComponents&) = delete;
  BasicComponents& operator=(const BasicComponents&) = delete;

  Session session;
  ReferenceData reference;
  Intake intake;
  RecordsT records;
  Handlers handlers;
  Dispatcher dispatcher;
  MonitorT monitor;
  SchemaMaintenance schema;
  LogProcessor log;
};

using Components = BasicComponents<MachineRecords, Monitor>;

#endif  // VOLTRANE_LIBRARY_COMPONENTS_H_
