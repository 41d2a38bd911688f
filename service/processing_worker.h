// CProcessingWorker: the worker thread that owns the library object for the
// whole run, names it the collector group and member the settings give (a
// library that cannot take part in a group is refused), connects it to the
// configured database (retrying every 30 seconds), then calls DoNextItemFromMDCLog back to back
// while it reports work done and rests for the idle timeout otherwise, re-connecting when the
// library has lost its connection. A failing log row is reported once, with
// its key, machine and command, when the library names it (_CKorvex7Obj2,
// failing_row_reports.h); any other failure text, and every text of an older
// library, is reported once until it stops coming (repeated_report_filter.h). It
// obeys the context's stop and pause events and reports through the context;
// it never ends because of an error.
//
// The library object is created, called and released on the worker thread
// only. Every wait is a wait on the stop event through the injected
// EventWaiter. The done event is the worker thread's last act; it is shared
// with the thread so that an abandoned thread never touches freed memory.
//
// WaitForEnd allows the thread 5000 ms. A thread that has not ended by then
// (a library call that does not return) cannot be ended safely on its own:
// it is detached and abandoned with the worker object and its library object,
// which nobody touches again; the caller must then not destroy the worker and
// ends the process without running static destructors (the host does so).
#ifndef VOLTRANE_SERVICE_PROCESSING_WORKER_H_
#define VOLTRANE_SERVICE_PROCESSING_WORKER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "service/collector_metrics.h"
#include "service/event_waiter.h"
#include "service/failing_row_reports.h"
#include "service/library_factory.h"
#include "service/manual_reset_event.h"
#include "service/repeated_report_filter.h"
#include "service/service_config.h"
#include "service/service_context.h"

namespace voltrane {

// Results of Connect.
inline constexpr int32_t kConnectOk = 0;
inline constexpr int32_t kConnectNoConfiguration = 1;
inline constexpr int32_t kConnectCreateFailed = 2;
inline constexpr int32_t kConnectFailed = 3;
// Results of ProcessNext.
inline constexpr int32_t kProcessCompleted = 0;
inline constexpr int32_t kProcessStopped = 1;
inline constexpr int32_t kProcessNoLibrary = 4;
inline constexpr int32_t kProcessReported = 5;

inline constexpr int64_t kConnectRetryMs = 30000;
inline constexpr int64_t kWaitForEndMs = 5000;

// The error text the worker passes in: a library that returns false without writing a
// text leaves it as it is, which the worker reads as "no text given".
std::string NoErrorText();
bool IsNoErrorText(const std::string& text);

class CProcessingWorker : public CServiceConfig {
 public:
  CProcessingWorker(CServiceContext& context, LibraryFactory& factory, EventWaiter& waiter,
                    ConfigurationReader reader = voltrane::ReadConfiguration);
  ~CProcessingWorker();
  CProcessingWorker(const CProcessingWorker&) = delete;
  CProcessingWorker& operator=(const CProcessingWorker&) = delete;

  int32_t StartThread();
  // True when the thread ended (or never started) within 5000 ms; false when it was abandoned.
  bool WaitForEnd();
  // The thread body; tests run it on their own thread.
  void ThreadProc();
  int32_t ReleaseLibrary();

  bool HasLibrary() const { return m_bLibraryCreated; }
  // Where the worker records what it did; null (the default): nowhere. Set
  // before StartThread; the metrics outlive the thread.
  void SetMetrics(CollectorMetrics* metrics) { m_pMetrics = metrics; }
  const ManualResetEvent& DoneEvent() const { return *m_hDoneEvent; }

 private:
  int32_t Connect(bool first);
  int32_t ProcessNext(bool& more);
  // Names the group and member to a library that can take part in a group; false (and
  // reported) for one that cannot.
  bool JoinGroup(_CKorvex7Obj5* library);
  // Has the library commit what it processed before a pause.
  void SettleForPause();
  // Reports a failed DoNextItemFromMDCLog call's text, once per failing row or text.
  void ReportFailure(const std::string& error);
  void ReportException(uint32_t code, const std::string& source, const std::string& description);
  // Hands the library's processing report to the metrics, when both are there.
  void RecordProcessing();
  void RecordConnected(bool connected);

  CServiceContext& context_;
  LibraryFactory& factory_;
  EventWaiter& waiter_;
  _CKorvex7Obj* m_pLibrary = nullptr;
  _CKorvex7Obj2* m_pLibrary2 = nullptr;  // m_pLibrary when it offers _CKorvex7Obj2
  _CKorvex7Obj4* m_pLibrary4 = nullptr;  // m_pLibrary when it offers _CKorvex7Obj4
  CollectorMetrics* m_pMetrics = nullptr;
  Korvex7ProcessingReport m_report;      // reused between calls
  RepeatedReportFilter m_reported;       // texts of failed calls reported so far
  FailingRowReports m_reportedRows;      // failing log rows reported so far
  bool m_bLibraryCreated = false;
  bool m_bSettledForPause = false;  // this pause's SettleForPause has run
  std::thread m_thread;
  std::shared_ptr<ManualResetEvent> m_hDoneEvent = std::make_shared<ManualResetEvent>();
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_PROCESSING_WORKER_H_
