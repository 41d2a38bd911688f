// StopCurrentActivity: the switch every activity start makes. It closes the
// record's open machine downtime, ends whatever period runs (a cycle cut
// short counts as unfinished) and starts the new activity's period. A user
// downtime (activity 100) runs beside the machine's activity and leaves the
// periods alone. Runs in the calling handler's transaction; database errors
// reach it.
#include "library/handlers/activity_handlers.h"
#include "library/handlers/event_handlers.h"
#include "library/records/machine_records.h"
#include "library/records/record_periods.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kActivitySetup = 1;
constexpr int32_t kActivityCycle = 2;
constexpr int32_t kActivityTeardown = 4;
constexpr int32_t kActivityUserDowntime = 100;
constexpr int32_t kMachineDowntimeType = 0;

const char* PeriodStartColumn(int32_t lActivity) {
  switch (lActivity) {
    case kActivitySetup:
      return "SETUP_START_TIME";
    case kActivityCycle:
      return "CYCLE_START_TIME";
    case kActivityTeardown:
      return "TEARDOWN_START_TIME";
    default:
      return nullptr;  // a machine downtime has no period of its own
  }
}

}  // namespace

void ActivityHandlers::StopCurrentActivity(int32_t lMachineDataID,
                                           const dbaccess::DateTime& dtCurrentTime,
                                           int32_t /*lMachineID*/, int32_t lNewActivity,
                                           dbaccess::RecordsetPtr rsCurrent) {
  // A user downtime looks for downtime rows of type 100, of which there are
  // none: it closes nothing here.
  CloseOpenDowntime(
      lMachineDataID,
      lNewActivity == kActivityUserDowntime ? kActivityUserDowntime : kMachineDowntimeType,
      dtCurrentTime);

  dbaccess::RecordsetPtr rs =
      rsCurrent ? rsCurrent : records_.OpenMachineDataRecord(lMachineDataID);
  if (rs->Eof()) {
    CloseRecordset(rs);
    return;
  }
  if (lNewActivity != kActivityUserDowntime) {
    EndRunningPeriod(*rs, "SETUP_START_TIME", "SETUP_TIME", kSecondsPerHour, dtCurrentTime);
    EndRunningPeriod(*rs, "TEARDOWN_START_TIME", "TEARDOWN_TIME", kSecondsPerHour, dtCurrentTime);
    EndRunningPeriod(*rs, "IDLE_START_TIME", "IDLE_TIME", kSecondsPerHour, dtCurrentTime);
    if (EndRunningPeriod(*rs, "CYCLE_START_TIME", "CYCLE_TIME", kSecondsPerMinute, dtCurrentTime)) {
      IncrementCounter(*rs, "UNFINISHED_CYCLES");
    }
    if (const char* strStartColumn = PeriodStartColumn(lNewActivity)) {
      rs->Fields(strStartColumn) = dtCurrentTime;
    }
    rs->Update();
  }
  CloseRecordset(rs);
}

}  // namespace korvex7::internal
