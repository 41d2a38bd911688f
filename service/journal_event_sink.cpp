// Reporting to journald.
#include "service/journal_event_sink.h"

#include <systemd/sd-journal.h>
#include <unistd.h>

#include "service/message_catalogue.h"
#include "service/service_identity.h"

namespace voltrane {

void JournalEventSink::Write(const EventRecord& record) {
  const CatalogueEntry* entry = FindCatalogueEntry(record.id);
  const char* message_id = entry ? entry->message_id : "";
  sd_journal_send("MESSAGE=%s", record.message.c_str(), "MESSAGE_ID=%s", message_id, "PRIORITY=%i",
                  SyslogPriority(record.type), "SYSLOG_IDENTIFIER=%s", kSyslogIdentifier,
                  "VOLTRANE_EVENT_ID=0x%08X", record.id, "VOLTRANE_EVENT_TYPE=%u",
                  static_cast<unsigned>(record.type), "VOLTRANE_INSERTION=%s",
                  record.insertion.value_or("").c_str(), nullptr);
}

bool JournaldAvailable() { return access("/run/systemd/journal/socket", W_OK) == 0; }

}  // namespace voltrane
