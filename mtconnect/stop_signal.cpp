#include "mtconnect/stop_signal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

namespace mtconnect {

StopSignal::StopSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd_ < 0) throw std::runtime_error("eventfd failed");
}

StopSignal::~StopSignal() { close(fd_); }

void StopSignal::Stop() {
  stopped_.store(true);
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
}

bool StopSignal::WaitFor(std::chrono::milliseconds duration) const {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (!Stopped()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    pollfd watch{fd_, POLLIN, 0};
    poll(&watch, 1, static_cast<int>(std::min<int64_t>(left.count(), 60000)));
  }
  return false;
}

}  // namespace mtconnect
