// ConsoleEventSink: in console mode every report is one line on standard
// output, the catalogue text, errors marked as such. Lines are written whole
// under a lock so that threads do not interleave them.
#ifndef VOLTRANE_SERVICE_CONSOLE_EVENT_SINK_H_
#define VOLTRANE_SERVICE_CONSOLE_EVENT_SINK_H_

#include <cstdio>
#include <mutex>

#include "service/event_sink.h"

namespace voltrane {

class ConsoleEventSink : public EventSink {
 public:
  explicit ConsoleEventSink(std::FILE* out = stdout) : out_(out) {}
  void Write(const EventRecord& record) override;

 private:
  std::mutex mutex_;
  std::FILE* out_;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_CONSOLE_EVENT_SINK_H_
