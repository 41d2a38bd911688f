// Recording failed log rows (see failed_rows.h). Bookkeeping only: a failure
// here is written to the extended error log and never changes what happens to
// the row, which stays in the log and is retried as before. Processing thread
// only; several processes may record at once, each row's record is updated
// in one statement.
#include "library/log/failed_rows.h"

#include <fmt/format.h>

#include "dbaccess/dialect.h"
#include "library/korvex7.h"
#include "library/log/log_processor.h"
#include "library/schema/schema_maintenance.h"
#include "library/schema/schema_statements.h"

namespace korvex7::internal {

namespace {

constexpr const char* kFailedRowsStem = "MDC_LOG_FAILURE";

}  // namespace

std::vector<std::string> FailedRowsCreateStatements(int32_t lDatabaseType) {
  const std::string integer = GetColumnTypeName(lDatabaseType, columnkind::kInteger);
  std::string columns = ",MDC_LOG_ID " + integer + ",MACHINE_ID " + integer + ",COMMAND_ID " +
                        integer + ",COMMAND_TIME_CODE " + integer;
  columns += ",ERROR_TEXT " + GetColumnTypeName(lDatabaseType, columnkind::kLongText);
  columns += ",LAST_ATTEMPT " + GetColumnTypeName(lDatabaseType, columnkind::kDateTime);
  columns += ",ATTEMPTS " + integer + ")";
  std::vector<std::string> statements;
  AddCreateTableStatements(lDatabaseType, statements, kFailedRowsStem, columns);
  return statements;
}

bool LogProcessor::FailedRowsTableReady() {
  if (m_bFailedRowsTableReady) return true;
  std::string strError;
  if (!schema_.TableExists(kFailedRowsTable)) {
    // Another process may create it at the same moment: then ours fails and
    // the check below finds theirs.
    for (const std::string& statement : FailedRowsCreateStatements(DatabaseType())) {
      if (!ExecuteSQL(statement, strError)) break;
    }
  }
  m_bFailedRowsTableReady = schema_.TableExists(kFailedRowsTable);
  return m_bFailedRowsTableReady;
}

void LogProcessor::RecordFailedRow(const LogEntry& entry, const std::string& strError) {
  m_failedEntry = entry;
  m_strFailedError = strError;
  const int32_t lMDCLogID = entry.lMDCLogID;
  // The caller's text stays the handler's own: callers compare it. Which row
  // failed is kept in the table, where `korvex7 process` and `count --failing`
  // read it.
  const std::string strText = strError;
  try {
    if (!FailedRowsTableReady()) return;
    const std::string key = std::to_string(lMDCLogID);
    const std::string now = voltrane::SysDateExpr(DatabaseType());
    const std::string quoted = voltrane::QuotedStr(DatabaseType(), strText);
    std::string strIgnored;
    int32_t lUpdated = 0;
    if (!ExecuteSQLCounted(std::string("update ") + kFailedRowsTable +
                               " set ERROR_TEXT = " + quoted + ", LAST_ATTEMPT = " + now +
                               ", ATTEMPTS = ATTEMPTS + 1 where MDC_LOG_ID = " + key,
                           strIgnored, lUpdated)) {
      return;
    }
    if (lUpdated > 0) return;
    ExecuteSQL(std::string("insert into ") + kFailedRowsTable +
                   " (MDC_LOG_ID, MACHINE_ID, COMMAND_ID, COMMAND_TIME_CODE, ERROR_TEXT, "
                   "LAST_ATTEMPT, ATTEMPTS) values (" +
                   key + ", " + std::to_string(entry.machine.lMachineID) + ", " + std::to_string(entry.lCommandID) +
                   ", " + std::to_string(entry.lCommandTimeCode) + ", " + quoted + ", " + now + ", 1)",
               strIgnored);
    // Records of rows that have left the log since tell nothing any more.
    ExecuteSQL(std::string("delete from ") + kFailedRowsTable +
                   " where MDC_LOG_ID not in (select MDC_LOG_ID from T_SFC_MDC_LOG)",
               strIgnored);
  } catch (...) {
    // The record is an aid to the reader of the reports; the row is retried anyway.
  }
}

bool LogProcessor::GetLastFailedLogItem(Korvex7FailedLogItem& item) {
  item = Korvex7FailedLogItem();
  if (!m_failedEntry) return false;
  const LogEntry& entry = *m_failedEntry;
  item.lMDCLogID = entry.lMDCLogID;
  item.lMachineID = entry.machine.lMachineID;
  item.lCommandID = entry.lCommandID;
  item.lCommandTimeCode = entry.lCommandTimeCode;
  item.strError = m_strFailedError;
  // Read when asked, so callers that never ask pay nothing per failure. The
  // scalar reads never throw: what cannot be read stays empty.
  try {
    const dbaccess::ConnectionPtr& oConnection = connection();
    if (!oConnection || !oConnection->IsOpen()) return true;
    item.strMachineNumber =
        GetScalarText("select MACHINE_NUMBER from T_SFC_MACHINE where MACHINE_ID = " +
                      std::to_string(entry.machine.lMachineID));
    if (entry.lCommandID != -1) {
      item.strCommandName =
          GetScalarText("select COMMAND_NAME from T_SFC_COMMAND where COMMAND_ID = " +
                        std::to_string(entry.lCommandID));
    }
    if (m_bFailedRowsTableReady) {
      const dbaccess::Variant attempts =
          GetScalarValue(std::string("select ATTEMPTS from ") + kFailedRowsTable +
                         " where MDC_LOG_ID = " + std::to_string(entry.lMDCLogID));
      if (!attempts.IsNull() && !attempts.IsEmpty()) item.lAttempts = attempts.ToLong();
    }
  } catch (...) {
    // The identity is known without the names and the count.
  }
  return true;
}

}  // namespace korvex7::internal
