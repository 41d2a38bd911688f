// The event source over journald, syslog or standard output, and the
// installation of its journal catalog.
#include "service/event_log_source.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "service/console_event_sink.h"
#include "service/diagnostic_trace.h"
#include "service/journal_event_sink.h"
#include "service/message_catalogue.h"
#include "service/service_identity.h"
#include "service/syslog_event_sink.h"

namespace voltrane {
namespace {

void RebuildCatalogIndex(CommandRunner& runner) {
  if (runner.Run({"journalctl", "--update-catalog"}) != 0) {
    VOLTRANE_TRACE("journalctl --update-catalog failed; the catalog applies after its next run\n");
  }
}

}  // namespace

std::unique_ptr<EventSink> MakeSystemEventSink(const std::string&, bool console) {
  if (console) return std::make_unique<ConsoleEventSink>();
  if (JournaldAvailable()) return std::make_unique<JournalEventSink>();
  return std::make_unique<SyslogEventSink>();
}

std::string JournalCatalogDir() {
  const char* dir = std::getenv("VOLTRANE_JOURNAL_CATALOG_DIR");
  return dir && *dir ? dir : "/etc/systemd/catalog";
}

std::string JournalCatalogPath() {
  return JournalCatalogDir() + "/" + kSyslogIdentifier + ".catalog";
}

CEventLogSource::CEventLogSource(EventSinkFactory factory) : factory_(std::move(factory)) {}

CEventLogSource::~CEventLogSource() { Deregister(); }

bool CEventLogSource::Register(const std::string& source_name, bool console) {
  Deregister();
  m_hEventSource = factory_ ? factory_(source_name, console) : nullptr;
  if (!m_hEventSource) VOLTRANE_TRACE("Failed in call to Register: no event sink\n");
  return m_hEventSource != nullptr;
}

bool CEventLogSource::Report(EventType type, uint32_t id,
                             const std::optional<std::string>& insertion) {
  if (!m_hEventSource) return false;
  EventRecord record;
  record.type = type;
  record.id = id;
  record.insertion = insertion;
  record.message = ExpandMessage(id, insertion);
  m_hEventSource->Write(record);
  return true;
}

bool CEventLogSource::Deregister() {
  m_hEventSource.reset();
  return true;
}

bool CEventLogSource::Install(const std::string& source_name, const std::string& message_file,
                              uint32_t types_supported, CommandRunner& runner) {
  std::error_code error;
  std::filesystem::create_directories(JournalCatalogDir(), error);
  const std::string path = JournalCatalogPath();
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << fmt::format("# Event source: {}\n# Message file: {}\n# Types supported: {}\n",
                       source_name, message_file, types_supported)
        << JournalCatalogText();
    if (!out.flush()) {
      VOLTRANE_TRACE(
          fmt::format("Failed to write the journal catalog in Install, errno:{}\n", errno));
      std::filesystem::remove(temp, error);
      return false;
    }
  }
  std::filesystem::rename(temp, path, error);
  if (error) {
    VOLTRANE_TRACE(
        fmt::format("Failed to install the journal catalog in Install, error:{}\n", error.value()));
    std::filesystem::remove(temp, error);
    return false;
  }
  RebuildCatalogIndex(runner);
  return true;
}

bool CEventLogSource::Uninstall(const std::string&, CommandRunner& runner) {
  std::error_code error;
  const bool removed = std::filesystem::remove(JournalCatalogPath(), error);
  if (!removed) {
    VOLTRANE_TRACE(fmt::format("Failed to remove the journal catalog in Uninstall, error:{}\n",
                               error.value()));
    return false;
  }
  RebuildCatalogIndex(runner);
  return true;
}

}  // namespace voltrane
