// Diagnostic traces to standard error, on request.
#include "service/diagnostic_trace.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace voltrane {

void DiagnosticTrace(const char* file, int line, const std::string& text) {
  const char* enabled = std::getenv("VOLTRANE_DIAGNOSTIC_TRACE");
  if (!enabled || std::strcmp(enabled, "1") != 0) return;
  const std::string out = fmt::format("{}({}) : {}", file, line, text);
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, out.data(), out.size());
}

}  // namespace voltrane
