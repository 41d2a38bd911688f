// KeyWatcher: the console program's keyboard. Start writes "Press ESC to
// terminate program", puts the terminal in single-key mode without echo (Ctrl-C
// still raises SIGINT) and reads keys on a thread of its own; Escape calls the
// escape action (which posts WM_QUIT to the run thread). An Escape that starts
// a key's escape sequence (arrow keys and the like) is not taken as Escape.
// Finish writes "Program has terminated. Press any key", waits for one more key
// (not when input has ended), and restores the terminal. Used only when the
// input is a terminal. Start and Finish run on the run thread.
#ifndef VOLTRANE_SERVICE_KEY_WATCHER_H_
#define VOLTRANE_SERVICE_KEY_WATCHER_H_

#include <termios.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include "service/manual_reset_event.h"

namespace voltrane {

class KeyWatcher {
 public:
  KeyWatcher(int input_fd, std::FILE* output, std::function<void()> on_escape);
  ~KeyWatcher();
  KeyWatcher(const KeyWatcher&) = delete;
  KeyWatcher& operator=(const KeyWatcher&) = delete;

  void Start();
  void Finish();

 private:
  void Watch();
  bool IsEscapeSequence();

  int input_fd_;
  std::FILE* output_;
  std::function<void()> on_escape_;
  std::atomic<bool> terminated_{false};
  ManualResetEvent finished_;
  termios saved_{};
  bool terminal_saved_ = false;
  std::thread thread_;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_KEY_WATCHER_H_
