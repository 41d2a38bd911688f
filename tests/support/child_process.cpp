#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace testsupport {
namespace {

// The test's environment with `extra` set on top, as "NAME=value" texts.
std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& extra) {
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (extra.count(text.substr(0, text.find('='))) == 0) merged.push_back(text);
  }
  for (const auto& [name, value] : extra) merged.push_back(name + "=" + value);
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& environment,
                           const std::string& output_path)
    : output_path_(output_path) {
  // Everything the child needs is prepared before the fork.
  std::vector<std::string> argument_texts = arguments;
  std::vector<std::string> environment_texts = MergedEnvironment(environment);
  std::vector<char*> argv = Pointers(argument_texts);
  std::vector<char*> envp = Pointers(environment_texts);
  const int output = open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (output < 0 || input < 0) throw std::runtime_error("cannot open the child's files");
  pid_ = fork();
  if (pid_ == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    dup2(input, STDIN_FILENO);
    dup2(output, STDOUT_FILENO);
    dup2(output, STDERR_FILENO);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(output);
  close(input);
  if (pid_ < 0) throw std::runtime_error("fork failed");
}

ChildProcess::~ChildProcess() {
  if (Running()) {
    kill(pid_, SIGKILL);
    WaitForExit(5000);
  }
}

void ChildProcess::Signal(int signal_number) {
  if (Running()) kill(pid_, signal_number);
}

std::optional<int> ChildProcess::WaitForExit(int timeout_ms) {
  WaitFor([&] { return !Running(); }, timeout_ms);
  return status_;
}

bool ChildProcess::Running() {
  if (status_ || pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return false;
}

std::string ChildProcess::Output() const {
  std::ifstream file(output_path_);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace testsupport
