// Session: creation, destruction and connect.
//
// ConnectToDatabase retries an unreachable server (the provider's generic
// failure 0x80004005) every 5 seconds for up to 5 minutes; any other failure
// returns after one attempt and one 5-second wait. Waits go through the
// session's clock. One thread at a time.
#include "library/session/session.h"

#include "dbaccess/database_kind.h"
#include "dbaccess/db_error.h"
#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"
#include "library/session/wait.h"

namespace korvex7::internal {

namespace {

constexpr int64_t kConnectRetryMilliseconds = 5000;
constexpr int64_t kConnectDeadlineMinutes = 5;
constexpr int kCommandTimeoutSeconds = 120;

}  // namespace

Session::Session(std::shared_ptr<dbaccess::Clock> clock)
    : m_clock(clock ? std::move(clock) : dbaccess::DefaultClock()),
      m_oConnection(std::make_shared<dbaccess::Connection>()) {
  ReadExtendedErrorLogSetting();
}

Session::~Session() {
  try {
    if (m_oConnection && m_oConnection->IsOpen()) m_oConnection->Close();
  } catch (...) {
    // Closing fails only when the engine already dropped the connection.
  }
  m_oConnection.reset();
  m_oDBConnection.reset();
}

bool Session::ConnectToDatabase(const std::string& strConnectionString, int32_t lDatabaseType,
                                std::string& strError) {
  try {
    m_lDatabaseType = lDatabaseType;
    m_strConnectionString = strConnectionString;
    const dbaccess::DateTime deadline = m_clock->Now().AddMinutes(kConnectDeadlineMinutes);
    WriteExtendedErrorLog("ConnectToDatabase");
    // What the old connection processed is kept before it goes.
    std::string strCommitError;
    if ((m_bBatchOpen || (m_batchWorkQueued && m_batchWorkQueued())) &&
        !CommitBatch(strCommitError)) {
      WriteExtendedErrorLog(strCommitError);
    }
    if (m_oConnection && m_oConnection->IsOpen()) m_oConnection->Close();
    m_oConnection.reset();
    // What was kept of the machines' rows came through the old connection.
    ForgetMachineState();
    while (true) {
      int32_t lErrNumber = 0;
      std::string strErrDescription;
      m_oConnection =
          OpenConnection(strConnectionString, lDatabaseType, lErrNumber, strErrDescription);
      strError = FormatConnectErrorText(lErrNumber, strErrDescription);
      WriteExtendedErrorLog(strError);
      if (lErrNumber == 0) {
        ++m_lConnectionSerial;
        break;
      }
      WaitMilliseconds(kConnectRetryMilliseconds);
      if (lErrNumber != dbaccess::kErrGenericFailure || m_clock->Now() > deadline) return false;
    }
    strError.clear();
    m_oConnection->SetCommandTimeout(kCommandTimeoutSeconds);
    return true;
  } catch (...) {
    // Every helper relies on there being a connection object, open or not.
    if (!m_oConnection) m_oConnection = std::make_shared<dbaccess::Connection>();
    RethrowAsComError("Korvex7.CKorvex7Obj.ConnectToDatabase");
  }
}

std::string Session::GetConnectionString() {
  if (m_oDBConnection && dialect().connection_fallbacks) {
    return m_oDBConnection->ConnectionString();
  }
  return m_strConnectionString;
}

void Session::WaitMilliseconds(int64_t lMilliseconds) {
  korvex7::internal::WaitMilliseconds(*m_clock, lMilliseconds);
}

}  // namespace korvex7::internal
