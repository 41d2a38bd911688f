#include "tools/simulation_run.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int64_t kWaitSliceMs = 100;
constexpr int kAppendAttempts = 3;
constexpr int64_t kAppendRetryMs = 1000;

}  // namespace

SimulationResult SimulationRun::Run(const SimulationLimits& limits, const AppendFunction& append,
                                    const AppendedFunction& appended) {
  SimulationResult result;
  started_ms_ = clock_.Now().MillisecondsSinceEpoch();
  while (!stop_ && (limits.max_commands < 0 || result.appended < limits.max_commands)) {
    const SimulatedCommand command = simulator_.Next();
    const auto due_ms = static_cast<int64_t>(std::llround(command.at_ms / limits.speed));
    if (!WaitUntil(due_ms, limits)) break;
    if (!AppendWithRetries(command, append, result.error)) {
      result.failed = !stop_;
      break;
    }
    ++result.appended;
    ++result.appended_per_machine[command.machine_number];
    result.plant_ms = command.at_ms;
    if (appended) appended(command);
  }
  result.elapsed_ms = ElapsedMs();
  return result;
}

bool SimulationRun::WaitUntil(int64_t due_ms, const SimulationLimits& limits) {
  while (!stop_) {
    const int64_t elapsed = ElapsedMs();
    if (limits.duration_ms >= 0 && elapsed >= limits.duration_ms) return false;
    if (elapsed >= due_ms) return true;
    int64_t wait = std::min(due_ms - elapsed, kWaitSliceMs);
    if (limits.duration_ms >= 0) wait = std::min(wait, limits.duration_ms - elapsed);
    clock_.SleepMilliseconds(wait);
  }
  return false;
}

bool SimulationRun::AppendWithRetries(const SimulatedCommand& command, const AppendFunction& append,
                                      std::string& error) {
  for (int attempt = 1; attempt <= kAppendAttempts && !stop_; ++attempt) {
    if (attempt > 1) {
      for (int64_t waited = 0; waited < kAppendRetryMs && !stop_; waited += kWaitSliceMs) {
        clock_.SleepMilliseconds(kWaitSliceMs);
      }
    }
    error.clear();
    if (append(command, error)) return true;
  }
  return false;
}

int64_t SimulationRun::ElapsedMs() { return clock_.Now().MillisecondsSinceEpoch() - started_ms_; }
