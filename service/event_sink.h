// EventSink: where reported events go (journald, syslog, standard output, or
// a test's recorder). A sink receives one finished record per report and must
// accept calls from several threads at once; a sink that fails drops the event
// (reports never fail their caller).
#ifndef VOLTRANE_SERVICE_EVENT_SINK_H_
#define VOLTRANE_SERVICE_EVENT_SINK_H_

#include <cstdint>
#include <optional>
#include <string>

namespace voltrane {

enum class EventType : uint16_t {
  kSuccess = 0,
  kError = 1,
  kWarning = 2,
  kInformation = 4,
};

struct EventRecord {
  EventType type = EventType::kInformation;
  uint32_t id = 0;
  // The one insertion string, when the report has one (at most 1023 characters).
  std::optional<std::string> insertion;
  // The catalogue text with the insertion in place.
  std::string message;
};

class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void Write(const EventRecord& record) = 0;
};

// The syslog priority of an event type: error 3, warning 4, information and success 6.
int SyslogPriority(EventType type);

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_EVENT_SINK_H_
