// CServiceContext: the process-wide pieces the service host and the worker
// share: the event source and its reporting functions, the stop and pause
// events, the instance guard and the run thread's message queue.
//
// Reports made before Init (or when the source could not be registered) are
// dropped silently, so command-line registration never reaches the event log.
// Texts are cut at 1023 bytes (at a character boundary) and reported
// literally: LogEvent and LogStatus take finished texts, never formats.
//
// Threading: Init and the guard run on the run thread before the worker
// exists. LogEvent and LogStatus may be called from any thread. Only the run
// thread sets and resets the events; the worker waits on and tests them.
#ifndef VOLTRANE_SERVICE_SERVICE_CONTEXT_H_
#define VOLTRANE_SERVICE_SERVICE_CONTEXT_H_

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "service/event_log_source.h"
#include "service/instance_guard.h"
#include "service/manual_reset_event.h"
#include "service/thread_message_queue.h"

namespace voltrane {

// Longest text a report carries (the message buffer of 1024 bytes less its terminator).
inline constexpr size_t kMaxReportText = 1023;

// `text` cut to at most kMaxReportText bytes without splitting a UTF-8 character.
std::string LimitReportText(const std::string& text);

class CServiceContext {
 public:
  explicit CServiceContext(EventSinkFactory sink_factory = MakeSystemEventSink);
  CServiceContext(const CServiceContext&) = delete;
  CServiceContext& operator=(const CServiceContext&) = delete;

  // Registers the event source (console: report to standard output), resets the events and
  // checks that the settings key and its EnableIcon value exist (0xC0000018 otherwise, and
  // false). The run goes on whatever the result.
  bool Init(const std::string& service_name, bool is_service, ThreadMessageQueue* run_queue,
            bool console);

  // An event without insertion string, or with one (a number is passed as its decimal text).
  void LogEvent(EventType type, uint32_t id);
  void LogEvent(EventType type, uint32_t id, const std::string& insertion);
  // A free text as event 0x40000000.
  void LogStatus(EventType type, const std::string& text);

  void RequestStop() { m_hStopEvent.Set(); }
  void RequestPause() { m_hPauseEvent.Set(); }
  void RequestContinue() { m_hPauseEvent.Reset(); }
  bool IsStopRequested() const { return m_hStopEvent.IsSet(); }
  bool IsPaused() const { return m_hPauseEvent.IsSet(); }
  const ManualResetEvent& StopEvent() const { return m_hStopEvent; }

  // Posts WM_QUIT, WM_SERVICE_PAUSE or WM_SERVICE_CONTINUE to the run thread (nothing before Init).
  void PostToRunThread(uint32_t message);

  // `group_member`: the member name when this collector takes part in a collector group.
  bool IsAnotherInstanceRunning(const std::string& group_member = "") {
    m_guard.KeyByMember(group_member);
    return m_guard.IsAnotherInstanceRunning();
  }

  bool IsRegistered() const { return m_bRegistered; }
  bool IsService() const { return m_bService; }

 private:
  void Report(EventType type, uint32_t id, const std::optional<std::string>& insertion);

  CEventLogSource m_eventSource;
  // Set once the source is registered; publishes the source to the other threads.
  std::atomic<bool> m_bRegistered{false};
  ThreadMessageQueue* m_runQueue = nullptr;
  bool m_bService = false;
  ManualResetEvent m_hStopEvent;
  ManualResetEvent m_hPauseEvent;
  CInstanceGuard m_guard;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_SERVICE_CONTEXT_H_
