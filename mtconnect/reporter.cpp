#include "mtconnect/reporter.h"

namespace mtconnect {

void StreamReporter::Report(Severity severity, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (priority_prefix_) out_ << '<' << static_cast<int>(severity) << '>';
  out_ << text << std::endl;
}

}  // namespace mtconnect
