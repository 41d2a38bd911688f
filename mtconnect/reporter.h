// Reporter: the bridge's messages (connections, commands, faults, totals).
//
// StderrReporter writes one line per message to standard error; under systemd
// (JOURNAL_STREAM set) each line carries its syslog priority prefix ("<3>")
// so the journal files it at the right level, as the collector's reports are.
// Thread-safe: the machines of one process share one reporter.
#ifndef VOLTRANE_MTCONNECT_REPORTER_H_
#define VOLTRANE_MTCONNECT_REPORTER_H_

#include <mutex>
#include <ostream>
#include <string>

namespace mtconnect {

enum class Severity { kError = 3, kWarning = 4, kInfo = 6 };

class Reporter {
 public:
  virtual ~Reporter() = default;
  virtual void Report(Severity severity, const std::string& text) = 0;
};

class StreamReporter : public Reporter {
 public:
  // `priority_prefix`: write "<N>" before each line for the journal.
  StreamReporter(std::ostream& out, bool priority_prefix)
      : out_(out), priority_prefix_(priority_prefix) {}
  void Report(Severity severity, const std::string& text) override;

 private:
  std::mutex mutex_;
  std::ostream& out_;
  const bool priority_prefix_;
};

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_REPORTER_H_
