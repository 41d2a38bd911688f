// Runs promtool on a metrics text written to a temporary file.
#include "tests/support/promtool_check.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace testsupport {

std::string PromtoolProblems(const std::string& metrics_text) {
  char path[] = "/tmp/voltrane-metrics-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return "cannot create a temporary file";
  close(fd);
  std::ofstream(path) << metrics_text;
  const std::string command = std::string("promtool check metrics < ") + path + " 2>&1";
  std::string output;
  int status = -1;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    status = pclose(pipe);
  }
  std::remove(path);
  if (status == 0) return "";
  return output.empty() ? "promtool failed" : output;
}

}  // namespace testsupport
