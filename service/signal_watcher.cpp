// Signals read through a signalfd on a watcher thread.
#include "service/signal_watcher.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace voltrane {

SignalWatcher::~SignalWatcher() { Stop(); }

bool SignalWatcher::Start(std::initializer_list<int> signals, Handler handler) {
  sigset_t mask;
  sigemptyset(&mask);
  for (int signal_number : signals) sigaddset(&mask, signal_number);
  if (pthread_sigmask(SIG_BLOCK, &mask, &old_mask_) != 0) return false;
  signal_fd_ = signalfd(-1, &mask, SFD_CLOEXEC);
  wake_fd_ = eventfd(0, EFD_CLOEXEC);
  if (signal_fd_ < 0 || wake_fd_ < 0) {
    const int error = errno;
    Stop();
    errno = error;
    return false;
  }
  handler_ = std::move(handler);
  thread_ = std::thread([this] { Watch(); });
  return true;
}

void SignalWatcher::Stop() {
  if (thread_.joinable()) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wake_fd_, &one, sizeof one);
    thread_.join();
  }
  if (signal_fd_ >= 0 || wake_fd_ >= 0) pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
  if (signal_fd_ >= 0) close(signal_fd_);
  if (wake_fd_ >= 0) close(wake_fd_);
  signal_fd_ = wake_fd_ = -1;
}

void SignalWatcher::Watch() {
  pollfd fds[2] = {{signal_fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    if (fds[0].revents & POLLIN) {
      signalfd_siginfo info{};
      if (read(signal_fd_, &info, sizeof info) == sizeof info) {
        handler_(static_cast<int>(info.ssi_signo));
      }
    }
  }
}

}  // namespace voltrane
