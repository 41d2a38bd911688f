// Priority mapping shared by the journal and syslog sinks.
#include "service/event_sink.h"

#include <syslog.h>

namespace voltrane {

int SyslogPriority(EventType type) {
  switch (type) {
    case EventType::kError:
      return LOG_ERR;
    case EventType::kWarning:
      return LOG_WARNING;
    case EventType::kSuccess:
    case EventType::kInformation:
      break;
  }
  return LOG_INFO;
}

}  // namespace voltrane
