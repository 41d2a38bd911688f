// Reporting to standard output.
#include "service/console_event_sink.h"

#include <fmt/format.h>

namespace voltrane {

void ConsoleEventSink::Write(const EventRecord& record) {
  const char* kind = record.type == EventType::kError     ? "error"
                     : record.type == EventType::kWarning ? "warning"
                                                          : "information";
  const std::string line = fmt::format("[{} 0x{:08X}] {}\n", kind, record.id, record.message);
  std::lock_guard<std::mutex> lock(mutex_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

}  // namespace voltrane
