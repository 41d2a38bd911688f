// SignalWatcher: turns process signals into calls on a thread of its own, so
// that handlers may take locks and post messages (nothing runs in a signal
// handler). Start blocks the signals in the calling thread, which every thread
// started later inherits; call it before any other thread exists. Stop ends
// the watcher thread and restores the signal mask. Start and Stop are called
// from one thread.
#ifndef VOLTRANE_SERVICE_SIGNAL_WATCHER_H_
#define VOLTRANE_SERVICE_SIGNAL_WATCHER_H_

#include <signal.h>

#include <functional>
#include <initializer_list>
#include <thread>

namespace voltrane {

class SignalWatcher {
 public:
  using Handler = std::function<void(int signal_number)>;

  SignalWatcher() = default;
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

  // False (and nothing blocked) when the watcher cannot be set up; errno tells why.
  bool Start(std::initializer_list<int> signals, Handler handler);
  void Stop();

 private:
  void Watch();

  Handler handler_;
  sigset_t old_mask_{};
  int signal_fd_ = -1;
  int wake_fd_ = -1;
  std::thread thread_;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_SIGNAL_WATCHER_H_
