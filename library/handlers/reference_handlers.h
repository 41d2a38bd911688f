// Reference handlers: who and what a machine works on -- the logon, job,
// operation, part and serial-number handlers (logon_handlers.cpp,
// job_handlers.cpp, operation_handlers.cpp, part_handlers.cpp,
// serial_number_handlers.cpp). A change of any of them closes the machine's
// current record and continues in a new one.
//
// May touch: the session; the machine's records through machine records,
// job part lists. Calls the event handlers, machine records, reference data
// and intake (command and machine lookups); never the activity handlers.
// Each handler runs in the session's RunHandlerTransaction and returns true
// on success or false with strError set.
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_HANDLERS_REFERENCE_HANDLERS_H_
#define VOLTRANE_LIBRARY_HANDLERS_REFERENCE_HANDLERS_H_

#include <cstdint>
#include <string>

#include "dbaccess/date_time.h"
#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"
#include "library/core/log_entry.h"
#include "library/handlers/command_context.h"
#include "library/session/session.h"

namespace korvex7::internal {

class EventHandlers;
class Intake;
class MachineRecords;
class ReferenceData;

class ReferenceHandlers : public TransactionClient {
 public:
  ReferenceHandlers(Session& session, Intake& intake, MachineRecords& records,
                    ReferenceData& reference, EventHandlers& events)
      : TransactionClient(session),
        intake_(intake),
        records_(records),
        reference_(reference),
        events_(events) {}

  // The logon start, part start and serial-number end run inside the
  // caller's transaction when the context says so (in_callers_transaction).
  bool DoLogonStart(const CommandContext& command, std::string& strError);
  bool DoLogonEnd(const CommandContext& command, std::string& strError);
  bool DoJobStart(const CommandContext& command, std::string& strError);
  bool DoJobEnd(const CommandContext& command, std::string& strError);
  bool DoOpStart(const CommandContext& command, std::string& strError);
  bool DoOpEnd(const CommandContext& command, std::string& strError);
  bool DoPartStart(const CommandContext& command, std::string& strError);
  bool DoPartEnd(const CommandContext& command, std::string& strError);
  bool DoPartSerialNoStart(const CommandContext& command, std::string& strError);
  bool DoPartSerialNoEnd(const CommandContext& command, std::string& strError);

 private:
  // Begins a transaction unless bTransactionOpen (and sets it); a failure,
  // the begin's included, escapes as an exception for the caller to report.
  bool FindSerialOnOtherMachine(const std::string& strSerialNo, const MachineKeys& machine,
                                const dbaccess::DateTime& dtCurrentTime, bool& bTransactionOpen,
                                int32_t& lOtherMachineID);
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

  Intake& intake_;
  MachineRecords& records_;
  ReferenceData& reference_;
  EventHandlers& events_;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_HANDLERS_REFERENCE_HANDLERS_H_
