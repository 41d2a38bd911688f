// A program started by a test as a real child process: its standard input
// is /dev/null (never a terminal), its standard output and error go to one
// file the test reads, and its environment is the test's plus the given
// variables. A child still running when the object is destroyed is killed.
#ifndef VOLTRANE_TESTS_SUPPORT_CHILD_PROCESS_H_
#define VOLTRANE_TESTS_SUPPORT_CHILD_PROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class ChildProcess {
 public:
  // Starts `arguments[0]` (a path) with the arguments; throws when it cannot fork.
  ChildProcess(const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& environment,
               const std::string& output_path);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void Signal(int signal_number);
  // The exit status once the child has ended within `timeout_ms`; a child
  // ended by a signal gives 128 + the signal. Nothing when it still runs.
  std::optional<int> WaitForExit(int timeout_ms);
  bool Running();
  // What the child wrote so far.
  std::string Output() const;
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  std::string output_path_;
};

// Polls `condition` every 10 ms for up to `timeout_ms`; its last result.
template <typename Condition>
bool WaitFor(Condition condition, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_CHILD_PROCESS_H_
