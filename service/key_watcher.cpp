// The console key watcher.
#include "service/key_watcher.h"

#include <poll.h>
#include <unistd.h>

namespace voltrane {
namespace {

constexpr unsigned char kEscape = 27;
// Bytes of an escape sequence arrive together; a lone Escape is followed by silence.
constexpr int kSequenceGapMs = 30;

}  // namespace

KeyWatcher::KeyWatcher(int input_fd, std::FILE* output, std::function<void()> on_escape)
    : input_fd_(input_fd), output_(output), on_escape_(std::move(on_escape)) {}

KeyWatcher::~KeyWatcher() {
  if (thread_.joinable()) thread_.detach();  // blocked in read(); ends with the process
  if (terminal_saved_) tcsetattr(input_fd_, TCSANOW, &saved_);
}

void KeyWatcher::Start() {
  terminated_ = false;
  finished_.Reset();
  std::fputs("Press ESC to terminate program\n\n", output_);
  std::fflush(output_);
  if (tcgetattr(input_fd_, &saved_) == 0) {
    terminal_saved_ = true;
    termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(input_fd_, TCSANOW, &raw);
  }
  thread_ = std::thread([this] { Watch(); });
}

void KeyWatcher::Finish() {
  terminated_ = true;
  std::fputs("Program has terminated. Press any key\n\n", output_);
  std::fflush(output_);
  finished_.WaitFor(-1);
  if (thread_.joinable()) thread_.join();
  if (terminal_saved_) tcsetattr(input_fd_, TCSANOW, &saved_);
  terminal_saved_ = false;
}

void KeyWatcher::Watch() {
  unsigned char key = 0;
  while (read(input_fd_, &key, 1) == 1) {
    if (terminated_) break;
    if (key == kEscape && !IsEscapeSequence()) on_escape_();
  }
  finished_.Set();
}

bool KeyWatcher::IsEscapeSequence() {
  pollfd input{input_fd_, POLLIN, 0};
  if (poll(&input, 1, kSequenceGapMs) <= 0) return false;
  unsigned char rest[16];
  [[maybe_unused]] const ssize_t drained = read(input_fd_, rest, sizeof rest);
  return true;
}

}  // namespace voltrane
