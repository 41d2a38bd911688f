// CKorvex7Obj: creation, destruction, connect and the connection probe.
//
// ConnectToDatabase retries an unreachable server (the provider's generic
// failure 0x80004005) every 5 seconds for up to 5 minutes; any other failure
// returns after one attempt and one 5-second wait. Waits go through the
// object's clock. One thread at a time.
#include "library/korvex7_obj.h"

#include "dbaccess/database_kind.h"
#include "dbaccess/db_error.h"
#include "library/error_text.h"
#include "library/extended_error_log.h"
#include "library/system_names.h"
#include "library/wait.h"

namespace {

constexpr int64_t kConnectRetryMilliseconds = 5000;
constexpr int64_t kConnectDeadlineMinutes = 5;
constexpr int kCommandTimeoutSeconds = 120;
constexpr const char* kProbeSql = "select PTYPE_ID from T_VMES_PTYPE where PTYPE_ID = 0";

}  // namespace

CKorvex7Obj::CKorvex7Obj(std::shared_ptr<dbaccess::Clock> clock)
    : m_clock(clock ? std::move(clock) : dbaccess::DefaultClock()),
      m_oConnection(std::make_shared<dbaccess::Connection>()) {
  m_alCommandIDs.fill(-1);
  m_lHistoryDays = -1;
  m_bCountPartsOptionRead = false;
  m_strComputerName = GetComputerNameText();
  m_bCheckHeartbeats = true;
  m_bFirstDowntimeTimeoutCheck = true;
  m_lLateHeartBeatDowntimeCodeID = -1;
  ReadExtendedErrorLogSetting();
  m_dtLastEntry = m_clock->Now();
  m_bStartupChecksPending = true;
}

CKorvex7Obj::~CKorvex7Obj() {
  WriteExtendedErrorLog("Korvex7 Terminate");
  try {
    // A collector that stops, or a tool that ends, keeps what it processed.
    std::string ignored;
    CommitBatch(ignored);
  } catch (...) {
    // The rows stay in the log and are processed again: nothing is lost.
  }
  m_dictDeleteQueue.clear();
  m_dictCommandTypes.clear();
  m_dictHeartBeats.reset();
  try {
    if (m_oConnection && m_oConnection->IsOpen()) m_oConnection->Close();
  } catch (...) {
    // Closing fails only when the engine already dropped the connection.
  }
  m_oConnection.reset();
  m_oDBConnection.reset();
  CloseRecordset(m_rsLog);
}

bool CKorvex7Obj::IsConnected() {
  try {
    if (!m_oConnection || !m_oConnection->IsOpen()) return false;
    // A cached batch with rows left proves the connection recently worked;
    // the service asks before every processing call, so spare the database.
    // After a failed row it proves nothing: a connection lost inside a
    // handler must be noticed before every cached row fails on it in turn.
    if (!m_bLastRowFailed && m_rsLog && m_rsLog->IsOpen() && !m_rsLog->Eof()) return true;
    m_oConnection->Execute(kProbeSql);
    return m_oConnection->IsOpen();
  } catch (...) {
    return false;
  }
}

bool CKorvex7Obj::ConnectToDatabase(const std::string& strConnectionString, int32_t lDatabaseType,
                                    std::string& strError) {
  try {
    m_lDatabaseType = lDatabaseType;
    m_strConnectionString = strConnectionString;
    const dbaccess::DateTime deadline = m_clock->Now().AddMinutes(kConnectDeadlineMinutes);
    WriteExtendedErrorLog("ConnectToDatabase");
    // What the old connection processed is kept before it goes.
    std::string strCommitError;
    if ((m_bBatchOpen || !m_dictDeleteQueue.empty()) && !CommitBatch(strCommitError)) {
      WriteExtendedErrorLog(strCommitError);
    }
    if (m_oConnection && m_oConnection->IsOpen()) m_oConnection->Close();
    m_oConnection.reset();
    while (true) {
      int32_t lErrNumber = 0;
      std::string strErrDescription;
      m_oConnection =
          OpenConnection(strConnectionString, lDatabaseType, lErrNumber, strErrDescription);
      strError = FormatConnectErrorText(lErrNumber, strErrDescription);
      WriteExtendedErrorLog(strError);
      if (lErrNumber == 0) break;
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

std::string CKorvex7Obj::GetConnectionString() {
  if (m_oDBConnection && m_lDatabaseType == voltrane::dbkind::kSqlServer) {
    return m_oDBConnection->ConnectionString();
  }
  return m_strConnectionString;
}

void CKorvex7Obj::WaitMilliseconds(int64_t lMilliseconds) {
  ::WaitMilliseconds(*m_clock, lMilliseconds);
}
