// The clock the tool gives its library object, so that a person at a
// terminal is not left waiting in silence while the library retries a
// connection (every 5 seconds for up to 5 minutes, the collector service's
// rule, which stays as it is).
//
// Between BeginConnect and EndConnect every wait of the library first says
// on `err` what it waits for, and repeats that every 30 seconds. Once the
// caller's patience is spent, or SIGINT/SIGTERM asked the tool to stop, the
// clock runs ahead of every deadline of the library: the wait in hand ends at
// once and the library gives up with its own error text, as it would after
// its five minutes. Outside a connect the clock is the real one. Used by the
// thread that uses the library object.
#ifndef VOLTRANE_TOOLS_CONNECT_WAIT_CLOCK_H_
#define VOLTRANE_TOOLS_CONNECT_WAIT_CLOCK_H_

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "dbaccess/clock.h"

// How long an interactive subcommand waits for the database by default.
inline constexpr int64_t kInteractiveConnectWaitMs = 5000;

class ConnectWaitClock : public dbaccess::Clock {
 public:
  explicit ConnectWaitClock(std::ostream& err) : err_(err) {}

  // `what` names the database for the messages; no patience means waiting as
  // long as the library does.
  void BeginConnect(const std::string& what, std::optional<int64_t> patience_ms);
  void EndConnect();
  // Whether the last connect was ended by the patience or a stop signal.
  bool GaveUp() const { return gave_up_; }

  dbaccess::DateTime Now() override;
  void SleepMilliseconds(int64_t ms) override;

 private:
  void SayWhatWeWaitFor(int64_t waited_ms);

  std::ostream& err_;
  dbaccess::SystemClock real_;
  bool connecting_ = false;
  std::string what_;
  std::optional<int64_t> patience_ms_;
  int64_t waited_ms_ = 0;
  int64_t next_message_ms_ = 0;
  bool gave_up_ = false;
};

#endif  // VOLTRANE_TOOLS_CONNECT_WAIT_CLOCK_H_
