// The cycle status lock of the library object: the setup and teardown lock
// levels (options 4 and 5) and every downtime code's CYCLE_STATUS_LOCK,
// loaded on first use and again whenever the processing loop asks, and the
// check the activity handlers make before they act. The rules themselves are
// in cycle_status_lock_rules.cpp. Database errors reach the calling handler.
#include <string>

#include "dbaccess/dialect.h"
#include "library/handlers/activity_handlers.h"
#include "library/handlers/cycle_status_lock_rules.h"
#include "library/handlers/event_handlers.h"
#include "library/records/machine_records.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kSetupLockOption = 4;
constexpr int32_t kTeardownLockOption = 5;
constexpr int32_t kStatusDowntime = 3;

}  // namespace

void ActivityHandlers::LoadCycleStatusLocks() {
  int32_t lLevel = 0;
  setup_lock_ = GetIntOption(kSetupLockOption, lLevel) ? EffectiveLockLevel(lLevel) : 0;
  teardown_lock_ = GetIntOption(kTeardownLockOption, lLevel) ? EffectiveLockLevel(lLevel) : 0;

  std::map<int32_t, int32_t> dictLocks;
  dbaccess::RecordsetPtr rs =
      OpenQuery("Select DOWNTIME_CODE_ID, DOWNTIME_CODE_NUMBER" +
                voltrane::ConcatLiteral(DatabaseType(), " - ") +
                "DOWNTIME_CODE_NAME as DOWNTIME, CYCLE_STATUS_LOCK  from T_SFC_DOWNTIME_CODE " +
                voltrane::NoLockHint(DatabaseType()) + " Order by DOWNTIME_CODE_NUMBER");
  for (; !rs->Eof(); rs->MoveNext()) {
    const dbaccess::Variant vLock = rs->Fields("CYCLE_STATUS_LOCK").Value();
    dictLocks[rs->Fields("DOWNTIME_CODE_ID").Value().ToLong()] =
        vLock.IsNull() || vLock.IsEmpty() ? 0 : vLock.ToLong();
  }
  CloseRecordset(rs);
  downtime_locks_ = std::move(dictLocks);
}

bool ActivityHandlers::IsCommandLocked(int32_t lMachineID, int32_t lStatus, int32_t lKind,
                                       int32_t lDowntimeCodeID, const std::string& strEndName) {
  if (lStatus == -1) {
    lStatus = records_.GetMachineStatus(lMachineID);
    // A machine that is down is governed by the downtime it is in: the code of
    // its open downtime row replaces the one passed in. The status read first
    // stands, also when the current record has no open downtime row.
    if (lStatus == kStatusDowntime)
      records_.GetMachineStatusAndDowntime(lMachineID, lDowntimeCodeID);
  }
  if (!downtime_locks_) LoadCycleStatusLocks();

  CycleStatusLockState state;
  state.lStatus = lStatus;
  state.lSetupLevel = setup_lock_;
  state.lTeardownLevel = teardown_lock_;
  const auto found = downtime_locks_->find(lDowntimeCodeID);
  if (found != downtime_locks_->end()) state.lDowntimeLockValue = found->second;
  return IsLockedByRules(state, lKind, strEndName);
}

}  // namespace korvex7::internal
