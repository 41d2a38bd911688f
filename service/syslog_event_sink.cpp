// Reporting to syslog.
#include "service/syslog_event_sink.h"

#include <syslog.h>

#include "service/service_identity.h"

namespace voltrane {

SyslogEventSink::SyslogEventSink() { openlog(kSyslogIdentifier, LOG_PID, LOG_DAEMON); }

SyslogEventSink::~SyslogEventSink() { closelog(); }

void SyslogEventSink::Write(const EventRecord& record) {
  syslog(SyslogPriority(record.type), "%s [event 0x%08X]", record.message.c_str(), record.id);
}

}  // namespace voltrane
