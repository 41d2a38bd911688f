// The processing worker: connect phase, processing phase, re-connection.
#include "service/processing_worker.h"

#include <fmt/format.h>

#include <algorithm>
#include <exception>

#include "library/com_error.h"
#include "library/failed_log_item_text.h"
#include "service/exception_text.h"
#include "service/message_catalogue.h"
#include "service/service_identity.h"
#include "settings/reg_settings.h"

namespace voltrane {
namespace {

// The generic failure stands for an exception that carries no status code.
constexpr uint32_t kGenericFailure = 0x80004005;
// A group member that rests longer than a third of its lease between calls
// lets its leases lapse; leases are seconds long, so it rests briefly.
constexpr uint32_t kGroupMemberRestMs = 250;

}  // namespace

std::string NoErrorText() { return std::string(1, '\0'); }

bool IsNoErrorText(const std::string& text) { return text.size() == 1 && text[0] == '\0'; }

CProcessingWorker::CProcessingWorker(CServiceContext& context, LibraryFactory& factory,
                                     EventWaiter& waiter, ConfigurationReader reader)
    : CServiceConfig(std::move(reader)), context_(context), factory_(factory), waiter_(waiter) {}

CProcessingWorker::~CProcessingWorker() {
  if (m_thread.joinable()) m_thread.join();
}

int32_t CProcessingWorker::StartThread() {
  std::shared_ptr<ManualResetEvent> done = m_hDoneEvent;
  // The thread shares the done event so that signalling it never touches a freed worker.
  m_thread = std::thread([this, done] {
    ThreadProc();
    static_cast<void>(done);
  });
  return 0;
}

bool CProcessingWorker::WaitForEnd() {
  if (!m_thread.joinable()) return true;
  if (waiter_.Wait(*m_hDoneEvent, kWaitForEndMs)) {
    m_thread.join();
    return true;
  }
  m_thread.detach();
  return false;
}

void CProcessingWorker::ThreadProc() {
  m_hDoneEvent->Reset();
  int32_t result = kConnectNoConfiguration;
  bool first = true;
  while (!context_.IsStopRequested()) {
    result = Connect(first);
    if (result == kConnectOk) break;
    if (first) {
      context_.LogEvent(EventType::kError, MSG_CONNECTION_FAILED_INIT);
      first = false;
    }
    if (waiter_.Wait(context_.StopEvent(), kConnectRetryMs)) break;
  }
  if (result == kConnectOk) {
    context_.LogEvent(EventType::kInformation, MSG_CONNECTION_INITIALIZED);
    while (!context_.IsStopRequested()) {
      if (context_.IsPaused()) {
        SettleForPause();
      } else {
        m_bSettledForPause = false;
        bool more = false;
        if (ProcessNext(more) != kProcessCompleted) more = false;
        if (more) continue;
      }
      const bool member = !m_strGroupName.empty();
      waiter_.Wait(context_.StopEvent(),
                   member ? std::min(m_dwTimeout, kGroupMemberRestMs) : m_dwTimeout);
    }
  }
  ReleaseLibrary();
  // A thread that ends without being asked to ends the whole run.
  if (!context_.IsStopRequested()) context_.PostToRunThread(WM_QUIT);
  m_hDoneEvent->Set();
}

bool CProcessingWorker::JoinGroup(_CKorvex7Obj5* library) {
  if (!library) {
    // Processing as a lone collector would be refused on the group's database, or worse,
    // take the log of a database that is not in group mode.
    context_.LogStatus(EventType::kError,
                       "The installed library cannot take part in the collector group '" +
                           m_strGroupName +
                           "': it predates group mode. Install a newer libkorvex7, or remove "
                           "GroupName from " +
                           kServiceKey + " to run this collector alone.");
    return false;
  }
  library->SetGroupMember(m_strGroupName, m_strGroupMember);
  context_.LogStatus(EventType::kInformation, "Taking part in the collector group '" +
                                                  m_strGroupName + "' as member '" +
                                                  m_strGroupMember + "'");
  return true;
}

void CProcessingWorker::SettleForPause() {
  if (m_bSettledForPause || !m_pLibrary) return;
  m_bSettledForPause = true;
  // The library commits its processed rows in batches; the open batch is
  // committed now, so a paused service holds no transaction (on SQLite its
  // write lock would stop every append until the service went on). An older
  // library has no operation for it: connecting again commits there.
  try {
    std::string error;
    if (m_pLibrary2) {
      if (!m_pLibrary2->CommitProcessedItems(error)) {
        context_.LogStatus(EventType::kError, "Korvex7 error:" + error);
      }
      RecordProcessing();
    } else if (!m_pLibrary->ConnectToDatabase(m_strConnectionString, m_lDatabaseType, error)) {
      context_.LogStatus(EventType::kError, "Korvex7 error:" + error);
    }
  } catch (...) {
    // Not connected: the processing after the pause connects again.
  }
}

int32_t CProcessingWorker::ReleaseLibrary() {
  if (m_pLibrary) factory_.Release(m_pLibrary);
  m_pLibrary = nullptr;
  m_pLibrary2 = nullptr;
  m_pLibrary4 = nullptr;
  m_bLibraryCreated = false;
  RecordConnected(false);
  return 0;
}

int32_t CProcessingWorker::Connect(bool first) {
  if (ReadConfiguration() != 0) {
    if (first) {
      if (!m_strProblem.empty()) context_.LogStatus(EventType::kError, m_strProblem);
      context_.LogEvent(EventType::kError, MSG_NO_CONNECTION_INFO);
    }
    return kConnectNoConfiguration;
  }
  ReleaseLibrary();
  const LibraryCreation creation = factory_.Create();
  if (!creation.object) {
    if (!creation.refusal.empty()) context_.LogStatus(EventType::kError, creation.refusal);
    context_.LogEvent(EventType::kError, MSG_COM_CREATION_ERROR,
                      fmt::format("{}", creation.error_code));
    return kConnectCreateFailed;
  }
  m_pLibrary = creation.object;
  m_pLibrary2 = creation.object2;
  m_pLibrary4 = creation.object4;
  m_bLibraryCreated = true;
  if (!m_strGroupName.empty() && !JoinGroup(creation.object5)) {
    ReleaseLibrary();
    return kConnectCreateFailed;
  }

  uint32_t code = kGenericFailure;
  std::string source;
  std::string description;
  try {
    std::string error = NoErrorText();
    if (m_pLibrary->ConnectToDatabase(m_strConnectionString, m_lDatabaseType, error)) {
      context_.LogStatus(EventType::kInformation, "Connected to database " + m_strConnectionString);
      RecordConnected(true);
      return kConnectOk;
    }
    if (IsNoErrorText(error)) {
      context_.LogEvent(EventType::kError, MSG_CONNECTION_FAILED_NO_TEXT);
    } else {
      context_.LogStatus(EventType::kError, error);
    }
    return kConnectFailed;
  } catch (const ComError& e) {
    code = static_cast<uint32_t>(e.number());
    source = e.source();
    description = e.description();
  } catch (const std::exception& e) {
    description = e.what();
  } catch (...) {
    description = "Unknown exception";
  }
  context_.LogEvent(EventType::kError, MSG_INIT_EXCEPTION);
  ReportException(code, source, description);
  ReleaseLibrary();
  return kConnectFailed;
}

int32_t CProcessingWorker::ProcessNext(bool& more) {
  if (!m_pLibrary) return kProcessNoLibrary;
  more = false;
  bool first_failure = true;
  uint32_t code = kGenericFailure;
  std::string source;
  std::string description;
  try {
    std::string error = NoErrorText();
    while (!m_pLibrary->IsConnected()) {
      RecordConnected(false);
      if (m_pLibrary->ConnectToDatabase(m_strConnectionString, m_lDatabaseType, error)) {
        context_.LogStatus(EventType::kInformation,
                           "Re-Connected to database " + m_strConnectionString);
        RecordConnected(true);
        if (m_pMetrics) m_pMetrics->CountReconnect();
        continue;
      }
      if (first_failure) {
        if (IsNoErrorText(error)) {
          context_.LogEvent(EventType::kError, MSG_CONNECTION_FAILED_NO_TEXT);
        } else {
          context_.LogStatus(EventType::kError, "Korvex7 error:" + error);
        }
        first_failure = false;
      }
      error = NoErrorText();
      if (waiter_.Wait(context_.StopEvent(), kConnectRetryMs)) return kProcessStopped;
    }
    error = NoErrorText();
    const bool processed = m_pLibrary->DoNextItemFromMDCLog(error);
    RecordProcessing();
    if (processed) {
      more = true;
      return kProcessCompleted;
    }
    if (error.empty()) {  // the log is empty: every failing row has left it
      m_reported.Forget();
      m_reportedRows.Forget();
    }
    if (IsNoErrorText(error) || error.empty()) return kProcessCompleted;
    ReportFailure(error);
    return kProcessReported;
  } catch (const ComError& e) {
    code = static_cast<uint32_t>(e.number());
    source = e.source();
    description = e.description();
  } catch (const std::exception& e) {
    description = e.what();
  } catch (...) {
    description = "Unknown exception";
  }
  more = false;
  ReportException(code, source, description);
  return kProcessReported;
}

void CProcessingWorker::RecordProcessing() {
  if (!m_pMetrics || !m_pLibrary4) return;
  m_pLibrary4->TakeProcessingReport(m_report);
  m_pMetrics->Record(m_report);
}

void CProcessingWorker::RecordConnected(bool connected) {
  if (m_pMetrics) m_pMetrics->SetConnected(connected);
}

void CProcessingWorker::ReportFailure(const std::string& error) {
  Korvex7FailedLogItem row;
  if (m_pLibrary2 && m_pLibrary2->GetLastFailedLogItem(row)) {
    if (m_reportedRows.FirstTime(row.lMDCLogID)) {
      context_.LogStatus(EventType::kInformation, "Korvex7 error: " + FailedLogItemText(row));
    }
    return;
  }
  if (m_reported.FirstTime(error)) {
    context_.LogStatus(EventType::kInformation, "Korvex7 error:" + error);
  }
}

void CProcessingWorker::ReportException(uint32_t code, const std::string& source,
                                        const std::string& description) {
  context_.LogStatus(EventType::kError, ExceptionText(code, source, description));
}

}  // namespace voltrane
