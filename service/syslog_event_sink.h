// SyslogEventSink: reports to syslog when journald is absent, as
// "<text> [event 0x<id>]" under the service's identifier (facility daemon).
// syslog(3) is thread-safe; the log is opened by the constructor and closed by
// the destructor.
#ifndef VOLTRANE_SERVICE_SYSLOG_EVENT_SINK_H_
#define VOLTRANE_SERVICE_SYSLOG_EVENT_SINK_H_

#include "service/event_sink.h"

namespace voltrane {

class SyslogEventSink : public EventSink {
 public:
  SyslogEventSink();
  ~SyslogEventSink() override;
  void Write(const EventRecord& record) override;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_SYSLOG_EVENT_SINK_H_
