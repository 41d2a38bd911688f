// StopSignal: asks the sources to end, and the waits they do meanwhile.
//
// A source sleeps (replay pacing, reconnect back-off) through WaitFor and
// includes fd() in its poll() so that Stop() ends a wait at once. Stop() is
// safe from any thread and from a signal handler (it only writes to an
// eventfd); the rest is for the threads that wait.
#ifndef VOLTRANE_MTCONNECT_STOP_SIGNAL_H_
#define VOLTRANE_MTCONNECT_STOP_SIGNAL_H_

#include <atomic>
#include <chrono>

namespace mtconnect {

class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  void Stop();
  bool Stopped() const { return stopped_.load(); }
  // Waits `duration`; false when stopped before or meanwhile.
  bool WaitFor(std::chrono::milliseconds duration) const;
  // Readable once stopped.
  int fd() const { return fd_; }

 private:
  int fd_;
  std::atomic<bool> stopped_{false};
};

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_STOP_SIGNAL_H_
