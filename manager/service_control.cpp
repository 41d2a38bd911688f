// Service control through systemctl. The program runs without a shell, its
// output is discarded; only the exit status counts.
#include "manager/service_control.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace voltrane::manager {

SystemctlServiceControl::SystemctlServiceControl(std::string unit, std::string systemctl)
    : unit_(std::move(unit)), systemctl_(std::move(systemctl)) {}

bool SystemctlServiceControl::StopIfRunning() {
  // systemctl stop succeeds for a stopped unit too, so ask first whether it runs.
  if (Run({"is-active", "--quiet", unit_}) != 0) return false;
  return Run({"stop", unit_}) == 0;
}

bool SystemctlServiceControl::Start() { return Run({"start", unit_}) == 0; }

int SystemctlServiceControl::Run(const std::vector<std::string>& arguments) const {
  std::vector<std::string> words{systemctl_};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    const int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      dup2(null_fd, STDOUT_FILENO);
      dup2(null_fd, STDERR_FILENO);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(child, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace voltrane::manager
