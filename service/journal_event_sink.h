// JournalEventSink: reports to journald with the catalogue's MESSAGE_ID, the
// priority of the event type, and the event id and insertion as fields of
// their own (VOLTRANE_EVENT_ID, VOLTRANE_INSERTION) so the catalog text can
// name them. sd_journal_send is thread-safe; a failed send is dropped.
#ifndef VOLTRANE_SERVICE_JOURNAL_EVENT_SINK_H_
#define VOLTRANE_SERVICE_JOURNAL_EVENT_SINK_H_

#include "service/event_sink.h"

namespace voltrane {

class JournalEventSink : public EventSink {
 public:
  void Write(const EventRecord& record) override;
};

// Whether journald listens on this machine (its native socket exists).
bool JournaldAvailable();

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_JOURNAL_EVENT_SINK_H_
