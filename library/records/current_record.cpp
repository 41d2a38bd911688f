// The current record: the entry points above the expired-shift handling that
// every caller outside the records uses. A handler asks for the machine's
// current record inside its own transaction; a refresh request (a log row
// without a command) brings the records up to its time in a transaction of
// its own. Either way the records are first brought up to the row's time
// (expired_shifts.cpp), which alone closes and rolls records at shift ends.
// Processing thread only.
#include <string>

#include "library/com_error.h"
#include "library/core/out_of_order.h"
#include "library/records/machine_records.h"
#include "library/session/error_text.h"

namespace korvex7::internal {

namespace {

constexpr const char* kSource = "HandleExpiredShifts";

}  // namespace

bool MachineRecords::RefreshRecords(const MachineKeys& machine, const dbaccess::DateTime& dtTime) {
  if (!BeginTransaction()) return false;
  try {
    int32_t lMachineDataID = -1;
    if (!BringRecordsUpTo(machine, dtTime, lMachineDataID, true, nullptr)) return false;
    CommitTransaction();
    return true;
  } catch (const OutOfOrderRow&) {
    RollbackTransaction();
    throw;
  } catch (...) {
    const ErrorInfo error = CurrentError();
    RollbackTransaction();
    throw ComError(error.number, kSource, error.description);
  }
}

int32_t MachineRecords::GetCurrentMachineDataID(const MachineKeys& machine,
                                                const dbaccess::DateTime& dtTime) {
  int32_t lMachineDataID = -1;
  BringRecordsUpTo(machine, dtTime, lMachineDataID, false, nullptr);
  return lMachineDataID;
}

dbaccess::RecordsetPtr MachineRecords::OpenCurrentMachineDataRecord(
    const MachineKeys& machine, const dbaccess::DateTime& dtTime, int32_t& lMachineDataID) {
  lMachineDataID = -1;
  dbaccess::RecordsetPtr rs;
  BringRecordsUpTo(machine, dtTime, lMachineDataID, false, &rs);
  if (!rs) rs = OpenMachineDataRecord(lMachineDataID);
  // The handlers' edits of the current record are written and not read back.
  rs->SetUpdatesMayWait(true);
  return rs;
}

}  // namespace korvex7::internal
