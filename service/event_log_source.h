// CEventLogSource: the service's event source. Register picks where reports go
// (standard output in console mode, else journald, else syslog) through an
// injectable sink factory; Report hands one finished record to the sink.
//
// Install and Uninstall stand for the source's registration: they write or
// remove the journal catalog file of the message catalogue in the catalog
// folder ($VOLTRANE_JOURNAL_CATALOG_DIR, default /etc/systemd/catalog) and
// ask journalctl to rebuild its catalog index through the command runner.
// Failures are reported through diagnostic traces and the result only.
//
// Register and Deregister run on the run thread before and after the other
// threads exist; Report may be called from any thread.
#ifndef VOLTRANE_SERVICE_EVENT_LOG_SOURCE_H_
#define VOLTRANE_SERVICE_EVENT_LOG_SOURCE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "service/command_runner.h"
#include "service/event_sink.h"

namespace voltrane {

// Builds the sink for a source; console is true in console mode.
using EventSinkFactory =
    std::function<std::unique_ptr<EventSink>(const std::string& source_name, bool console)>;

// Standard output in console mode, journald when it listens, syslog otherwise.
std::unique_ptr<EventSink> MakeSystemEventSink(const std::string& source_name, bool console);

// Folder and file name of the installed journal catalog.
std::string JournalCatalogDir();
std::string JournalCatalogPath();

class CEventLogSource {
 public:
  explicit CEventLogSource(EventSinkFactory factory = MakeSystemEventSink);
  ~CEventLogSource();
  CEventLogSource(const CEventLogSource&) = delete;
  CEventLogSource& operator=(const CEventLogSource&) = delete;

  // Deregisters first; true when a sink was obtained.
  bool Register(const std::string& source_name, bool console);
  // False when not registered.
  bool Report(EventType type, uint32_t id, const std::optional<std::string>& insertion);
  bool Deregister();

  // Writes the catalog file (program path and supported types in its header), replacing an
  // earlier one, and rebuilds the catalog index. True when the file was written.
  static bool Install(const std::string& source_name, const std::string& message_file,
                      uint32_t types_supported, CommandRunner& runner);
  // Removes the catalog file and rebuilds the index; true when the file was removed.
  static bool Uninstall(const std::string& source_name, CommandRunner& runner);

 private:
  EventSinkFactory factory_;
  std::unique_ptr<EventSink> m_hEventSource;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_EVENT_LOG_SOURCE_H_
