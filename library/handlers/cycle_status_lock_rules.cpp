// The decision table of the cycle status lock (see cycle_status_lock_rules.h).
#include "library/handlers/cycle_status_lock_rules.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kStatusIdle = 0;
constexpr int32_t kStatusSetup = 1;
constexpr int32_t kStatusDowntime = 3;
constexpr int32_t kStatusTeardown = 4;

bool IsKnownEnd(const std::string& strEndName) {
  return strEndName == kCycleEndName || strEndName == kSetupEndName ||
         strEndName == kTeardownEndName || strEndName == kDowntimeEndName;
}

// Level 1 lets only another activity's start end the state; level 2 lets
// only the state's own end through.
bool LockedByLevel(int32_t lLevel, int32_t lKind, const std::string& strEndName,
                   const char* strOwnEnd) {
  switch (lLevel) {
    case 1:
      return lKind == kLockKindEnd || lKind == kLockKindCycleStart;
    case 2:
      return lKind != kLockKindEnd || strEndName != strOwnEnd;
    default:
      return false;
  }
}

// Only the two low bits are the lock; the rest is the downtime's time limit.
std::optional<int32_t> LockBits(const std::optional<int32_t>& lValue) {
  if (!lValue) return std::nullopt;
  return *lValue & 3;
}

bool LockedByDowntime(int32_t lLock, int32_t lKind, const std::string& strEndName) {
  switch (lLock) {
    case 3:
      return strEndName != kDowntimeEndName;
    case 2:
      return lKind == kLockKindSetupStart;
    case 1:
      return lKind == kLockKindCycleStart || (lKind == kLockKindEnd && strEndName == kCycleEndName);
    default:
      return false;
  }
}

}  // namespace

int32_t EffectiveLockLevel(int32_t lLevel) { return lLevel >= 0 && lLevel <= 2 ? lLevel : 0; }

bool IsLockedByRules(const CycleStatusLockState& state, int32_t lKind,
                     const std::string& strEndName) {
  const std::optional<int32_t> lDowntimeLock = LockBits(state.lDowntimeLockValue);
  switch (state.lStatus) {
    case kStatusIdle:
      // Nothing runs that an end could end.
      return lKind == kLockKindEnd && IsKnownEnd(strEndName);
    case kStatusSetup:
      if (LockedByLevel(state.lSetupLevel, lKind, strEndName, kSetupEndName)) return true;
      return lKind == kLockKindDowntimeStart && lDowntimeLock &&
             (*lDowntimeLock == 2 || *lDowntimeLock == 3);
    case kStatusTeardown:
      if (LockedByLevel(state.lTeardownLevel, lKind, strEndName, kTeardownEndName)) return true;
      return lKind == kLockKindDowntimeStart && lDowntimeLock && *lDowntimeLock == 3;
    case kStatusDowntime:
      return lDowntimeLock && LockedByDowntime(*lDowntimeLock, lKind, strEndName);
    default:
      return false;
  }
}

}  // namespace korvex7::internal
