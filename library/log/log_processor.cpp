// LogProcessor: creation, destruction and the connection probe, which a
// cached batch answers while it has rows left.
#include "library/log/log_processor.h"

#include "library/session/system_names.h"

namespace {

constexpr const char* kProbeSql = "select PTYPE_ID from T_VMES_PTYPE where PTYPE_ID = 0";

}  // namespace

LogProcessor::LogProcessor(Session& session, SchemaMaintenance& schema, Handlers& handlers,
                           Dispatcher& dispatcher, Monitor& monitor)
    : SessionClient(session),
      schema_(schema),
      handlers_(handlers),
      dispatcher_(dispatcher),
      monitor_(monitor),
      m_strComputerName(GetComputerNameText()),
      m_dtLastEntry(session.clock().Now()) {}

LogProcessor::~LogProcessor() { CloseRecordset(m_rsLog); }

bool LogProcessor::IsConnected() {
  try {
    const dbaccess::ConnectionPtr& oConnection = connection();
    if (!oConnection || !oConnection->IsOpen()) return false;
    // A cached batch with rows left proves the connection recently worked;
    // the service asks before every processing call, so spare the database.
    // After a failed row it proves nothing: a connection lost inside a
    // handler must be noticed before every cached row fails on it in turn.
    if (!m_bLastRowFailed && m_rsLog && m_rsLog->IsOpen() && !m_rsLog->Eof()) return true;
    oConnection->Execute(kProbeSql);
    return oConnection->IsOpen();
  } catch (...) {
    return false;
  }
}
