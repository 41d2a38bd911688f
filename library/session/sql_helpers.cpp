// Statement execution and recordset helpers of the library object.
//
// Every statement and query text is written to the extended error log before
// it runs. ExecuteSQL closes the connection when the provider reports its
// generic failure (0x80004005), so that the collector service sees
// IsConnected false and connects again. The scalar reads and CloseRecordset
// never throw; OpenQuery and OpenRecordset throw DbError to their caller.
#include <string>

#include "dbaccess/database_kind.h"
#include "dbaccess/db_error.h"
#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"
#include "library/session/session.h"

namespace korvex7::internal {

namespace {

constexpr int kExecuteAttempts = 90;
constexpr int64_t kExecuteRetryMilliseconds = 1000;

}  // namespace

bool Session::ExecuteSQL(const std::string& strSQL, std::string& strError) {
  WriteExtendedErrorLog(strSQL);
  try {
    m_oConnection->Execute(strSQL);
    return true;
  } catch (...) {
    const ErrorInfo error = CurrentError();
    strError = FormatErrorText(error.number, error.description);
    if (error.number == dbaccess::kErrGenericFailure) {
      WriteExtendedErrorLog(
          "connection failure: closing connection so the service will re-open it");
      try {
        m_oConnection->Close();
      } catch (...) {
        // The connection is unusable either way; IsConnected reports it.
      }
    }
    return false;
  }
}

void Session::ExecuteStatement(const std::string& strSQL) {
  WriteExtendedErrorLog(strSQL);
  m_oConnection->Execute(strSQL);
}

void Session::WriteInRow(const std::string& strSQL, const std::vector<dbaccess::Variant>& params) {
  WriteExtendedErrorLog(strSQL);
  m_oConnection->DeferWrite(strSQL, params);
}

void Session::SetRowCommandRunning(bool bRunning) {
  m_oConnection->SetWritesMayWait(bRunning && m_bBatchOpen && m_lSavepointDepth >= 1);
}

bool Session::ExecuteSQLCounted(const std::string& strSQL, std::string& strError,
                                int32_t& lRecordsAffected) {
  WriteExtendedErrorLog(strSQL);
  try {
    lRecordsAffected = static_cast<int32_t>(m_oConnection->Execute(strSQL));
    return true;
  } catch (...) {
    const ErrorInfo error = CurrentError();
    strError = FormatErrorText(error.number, error.description);
    return false;
  }
}

bool Session::ExecuteWithRetry(const std::string& strSQL, std::string& strError,
                               int32_t& lRecordsAffected) {
  for (int attempt = 1; attempt <= kExecuteAttempts; ++attempt) {
    if (attempt > 1) WaitMilliseconds(kExecuteRetryMilliseconds);
    strError.clear();
    if (ExecuteSQLCounted(strSQL, strError, lRecordsAffected)) return true;
  }
  return false;
}

void Session::PrepareRecordset(dbaccess::Recordset& rs) {
  // Client-side static and optimistic: the platform's recordsets are all of
  // that kind; only the cursor location is recorded.
  rs.SetCursorLocation(dbaccess::CursorLocation::kClient);
}

void Session::OpenRecordset(dbaccess::Recordset& rs, const std::string& strSQL) {
  WriteExtendedErrorLog(strSQL);
  rs.Open(strSQL, m_oConnection);
}

dbaccess::RecordsetPtr Session::OpenQuery(const std::string& strSQL, bool bServerCursor) {
  auto rs = std::make_shared<dbaccess::Recordset>();
  PrepareRecordset(*rs);
  // Oracle long columns are read through a server-side keyset cursor.
  if (dialect().long_columns_server_cursor && bServerCursor) {
    rs->SetCursorLocation(dbaccess::CursorLocation::kServer);
  }
  OpenRecordset(*rs, strSQL);
  return rs;
}

void Session::CloseRecordset(dbaccess::RecordsetPtr& rs) {
  if (!rs) return;
  try {
    if (rs->IsOpen()) {
      if (rs->EditPending()) rs->CancelUpdate();
      if (m_closeObserver) m_closeObserver(*rs);
      rs->Close();
    }
  } catch (...) {
    // Released below in any case; a recordset holds no lock of its own.
  }
  rs.reset();
}

std::string Session::GetScalarText(const std::string& strSQL, dbaccess::Variant* vSecondColumn) {
  dbaccess::RecordsetPtr rs;
  std::string result;
  try {
    rs = OpenQuery(strSQL);
    if (!rs->Eof()) {
      result = rs->Fields(size_t{0}).Value().ToText();
      if (vSecondColumn != nullptr && rs->FieldCount() > 1) {
        *vSecondColumn = rs->Fields(size_t{1}).Value();
      }
    }
  } catch (...) {
    // No row, a null value or a failing query all read as "".
  }
  CloseRecordset(rs);
  return result;
}

dbaccess::Variant Session::GetScalarValue(const std::string& strSQL) {
  dbaccess::RecordsetPtr rs;
  dbaccess::Variant result;
  try {
    rs = OpenQuery(strSQL);
    if (!rs->Eof()) result = rs->Fields(size_t{0}).Value();
  } catch (...) {
    result = dbaccess::Variant();
  }
  CloseRecordset(rs);
  return result;
}

}  // namespace korvex7::internal
