// The schema checks the processing loop runs before its first log row: the
// machine pointer repair, then, when it found nothing to report, the stored
// procedure installation. A run that reports anything leaves its text in
// strError, and the loop runs the checks again at its next call, so a run
// that repaired machines is followed by one that installs the procedures.
#include <string>

#include "library/schema/schema_maintenance.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

void SchemaMaintenance::StartupDatabaseChecksAndUpdates(std::string& strError) {
  CheckAndFixMachines(strError);
  if (!strError.empty()) {
    WriteExtendedErrorLog("CheckAndFixMachines: " + strError);
    return;
  }
  InstallStoredProcedures(strError);
  if (!strError.empty()) WriteExtendedErrorLog("InstallStoredProcedures: " + strError);
}

}  // namespace korvex7::internal
