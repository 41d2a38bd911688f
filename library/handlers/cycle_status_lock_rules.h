// The rules of the cycle status lock: whether a machine in a given status
// ignores a start or end command. Setup and teardown each have a lock level
// (0 none, 1 only another activity's start ends the state, 2 only the
// state's own end ends it); a downtime code's lock value (two low bits: 0
// none, 1 cycles, 2 setup starts, 3 everything but the downtime's end)
// governs a machine that is down and, for machine downtime starts, one in
// setup or teardown. Pure functions; thread-safe.
#ifndef VOLTRANE_LIBRARY_CYCLE_STATUS_LOCK_RULES_H_
#define VOLTRANE_LIBRARY_CYCLE_STATUS_LOCK_RULES_H_

#include <cstdint>
#include <optional>
#include <string>

namespace korvex7::internal {

// Kinds of the command being checked.
inline constexpr int32_t kLockKindEnd = 0;
inline constexpr int32_t kLockKindSetupStart = 1;
inline constexpr int32_t kLockKindCycleStart = 2;
inline constexpr int32_t kLockKindDowntimeStart = 3;
inline constexpr int32_t kLockKindTeardownStart = 4;

// The end names the end handlers pass; starts pass "?".
inline constexpr const char* kSetupEndName = "SetupEnd";
inline constexpr const char* kTeardownEndName = "TeardownEnd";
inline constexpr const char* kCycleEndName = "CycleEnd";
inline constexpr const char* kDowntimeEndName = "DowntimeEnd";

// A configured lock level (options 4 and 5): anything outside 0..2 is 0.
int32_t EffectiveLockLevel(int32_t lLevel);

struct CycleStatusLockState {
  int32_t lStatus = 0;      // the machine's status code
  int32_t lSetupLevel = 0;  // already made effective
  int32_t lTeardownLevel = 0;
  // CYCLE_STATUS_LOCK of the downtime code in question, when the code is known.
  std::optional<int32_t> lDowntimeLockValue;
};

bool IsLockedByRules(const CycleStatusLockState& state, int32_t lKind,
                     const std::string& strEndName);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_CYCLE_STATUS_LOCK_RULES_H_
