#include "tools/connect_wait_clock.h"

#include <fmt/format.h>

#include "tools/stop_signals.h"

namespace {

constexpr int64_t kMessageIntervalMs = 30000;
// Far enough ahead to pass the library's five-minute connect deadline.
constexpr int64_t kBeyondEveryDeadlineMinutes = 24 * 60;

}  // namespace

void ConnectWaitClock::BeginConnect(const std::string& what, std::optional<int64_t> patience_ms) {
  connecting_ = true;
  what_ = what;
  patience_ms_ = patience_ms;
  waited_ms_ = 0;
  next_message_ms_ = 0;
  gave_up_ = false;
}

void ConnectWaitClock::EndConnect() { connecting_ = false; }

dbaccess::DateTime ConnectWaitClock::Now() {
  const dbaccess::DateTime now = real_.Now();
  return connecting_ && gave_up_ ? now.AddMinutes(kBeyondEveryDeadlineMinutes) : now;
}

void ConnectWaitClock::SleepMilliseconds(int64_t ms) {
  if (!connecting_) return real_.SleepMilliseconds(ms);
  if (gave_up_) return;
  if (StopRequested() || (patience_ms_ && waited_ms_ >= *patience_ms_)) {
    gave_up_ = true;
    return;
  }
  if (waited_ms_ >= next_message_ms_) {
    SayWhatWeWaitFor(waited_ms_);
    next_message_ms_ = waited_ms_ + kMessageIntervalMs;
  }
  real_.SleepMilliseconds(ms);
  waited_ms_ += ms;
}

void ConnectWaitClock::SayWhatWeWaitFor(int64_t waited_ms) {
  if (waited_ms == 0) {
    err_ << fmt::format("Waiting for {} to answer ({}; the library retries every 5 s)...\n", what_,
                        patience_ms_
                            ? fmt::format("giving up after {} s, --wait-as-service waits up to 5 "
                                          "minutes as the collector service does",
                                          *patience_ms_ / 1000)
                            : std::string("up to 5 minutes, as the collector service does"));
  } else {
    err_ << fmt::format("Still waiting for {} ({} s so far)...\n", what_, waited_ms / 1000);
  }
  err_.flush();
}
