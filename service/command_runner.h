// CommandRunner: runs a system command (systemctl, journalctl) and returns its
// exit status. Installation goes through it so that tests record the commands
// instead of touching the machine. A command that cannot be started gives 127.
#ifndef VOLTRANE_SERVICE_COMMAND_RUNNER_H_
#define VOLTRANE_SERVICE_COMMAND_RUNNER_H_

#include <string>
#include <vector>

namespace voltrane {

class CommandRunner {
 public:
  virtual ~CommandRunner() = default;
  virtual int Run(const std::vector<std::string>& argv) = 0;
};

// Starts the program found on PATH and waits for it; its output goes where ours goes.
class SpawnCommandRunner : public CommandRunner {
 public:
  int Run(const std::vector<std::string>& argv) override;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_COMMAND_RUNNER_H_
