// The log history: when option 15 gives a retention of at least one day,
// every log row is copied to T_SFC_MDC_LOG_HIST before its handler runs, and
// history older than the retention (counted back from the copied row's time
// stamp, not the clock) is deleted. The table and its index are created on
// first use.
//
// Failures: a failing copy returns its error text, so the row is retried; a
// failing creation statement throws ComError once and leaves history off for
// the processor's life. Processing thread only.
#include "library/log/log_history.h"

#include <string>
#include <vector>

#include "dbaccess/dialect.h"
#include "library/com_error.h"
#include "library/log/log_processor.h"
#include "library/schema/schema_maintenance.h"
#include "library/schema/schema_statements.h"
#include "library/session/error_text.h"

namespace korvex7::internal {

namespace {

constexpr const char* kHistoryStem = "MDC_LOG_HIST";
constexpr int kTrimAttempts = 10;

// Raised when the history table or index cannot be created.
[[noreturn]] void ThrowCreationFailure(const std::string& strError) {
  throw ComError(-1, "MDCLogHistoryEnabled", strError);
}

}  // namespace

std::vector<std::string> LogHistoryCreateStatements(int32_t lDatabaseType) {
  const std::string integer = GetColumnTypeName(lDatabaseType, columnkind::kInteger);
  std::string columns;
  for (const char* name :
       {"COMMAND_ID", "DEPT_ID", "LOCATION_ID", "GROUP_ID", "MACHINE_ID", "COMMAND_TIME_CODE"}) {
    columns += std::string(",") + name + " " + integer;
  }
  columns += ",TIME_STAMP " + GetColumnTypeName(lDatabaseType, columnkind::kDateTime);
  columns += ",PARAM1 " + GetColumnTypeName(lDatabaseType, columnkind::kText255);
  columns += ",MDC_LOG_ID " + integer + ")";
  std::vector<std::string> statements;
  AddCreateTableStatements(lDatabaseType, statements, kHistoryStem, columns);
  return statements;
}

std::string LogHistoryIndexStatement(int32_t lDatabaseType) {
  return GetCreateIndexSQL(lDatabaseType, kHistoryStem, "MDC_LOG_ID", "TIME_STAMP");
}

bool LogProcessor::MDCLogHistoryEnabled(int32_t& lHistoryDays) {
  if (m_lHistoryDays >= 0) {
    lHistoryDays = m_lHistoryDays;
    return m_lHistoryDays > 0;
  }
  m_lHistoryDays = 0;  // off unless every step below succeeds
  lHistoryDays = 0;
  try {
    int32_t lDays = 0;
    if (!GetNumOption(kLogHistoryDaysOption, lDays) || lDays < 1) return false;
    std::string strError;
    if (!schema_.TableExists(kLogHistoryTable)) {
      if (!BeginTransaction()) return false;
      for (const std::string& statement : LogHistoryCreateStatements(DatabaseType())) {
        if (!ExecuteSQL(statement, strError)) {
          RollbackTransaction();
          ThrowCreationFailure(strError);
        }
      }
      if (!CommitTransaction()) {
        RollbackTransaction();  // leave no transaction open for the handlers
        return false;
      }
    }
    if (!schema_.IndexExists(kHistoryStem, "MDC_LOG_ID") &&
        !ExecuteSQL(LogHistoryIndexStatement(DatabaseType()), strError)) {
      ThrowCreationFailure(strError);
    }
    m_lHistoryDays = lDays;
    lHistoryDays = lDays;
    return true;
  } catch (const ComError&) {
    throw;
  } catch (...) {
    // Any other failure leaves history off, unreported.
    return false;
  }
}

std::string LogProcessor::CopyLogEntryToHistory(int32_t lMDCLogID,
                                                const dbaccess::DateTime& dtTimeStamp) {
  int32_t lDays = 0;
  if (!MDCLogHistoryEnabled(lDays)) return "";
  const std::string key = std::to_string(lMDCLogID);

  // A count that cannot be read is reported like a failed copy, so the row
  // is retried rather than processed without its history row.
  std::string strCount;
  try {
    dbaccess::RecordsetPtr rs =
        OpenQuery("select count(*) from T_SFC_MDC_LOG_HIST where MDC_LOG_ID = " + key);
    if (!rs->Eof()) strCount = rs->Fields(size_t{0}).Value().ToText();
    CloseRecordset(rs);
  } catch (...) {
    const ErrorInfo error = CurrentError();
    return FormatErrorText(error.number, error.description);
  }
  if (strCount != "0") return "";  // already copied (the row is processed again)

  std::string strError;
  if (!ExecuteSQL(
          std::string("INSERT INTO T_SFC_MDC_LOG_HIST (COMMAND_ID, DEPT_ID, LOCATION_ID, ") +
              " GROUP_ID, MACHINE_ID, COMMAND_TIME_CODE, TIME_STAMP, PARAM1, MDC_LOG_ID) " +
              " SELECT COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
              "COMMAND_TIME_CODE, TIME_STAMP, PARAM1, MDC_LOG_ID" +
              " FROM T_SFC_MDC_LOG WHERE MDC_LOG_ID = " + key,
          strError)) {
    return strError;
  }

  // Each failed trim deletes less the next time (D+1, D+3, D+6, ...), in case
  // the delete failed for its size.
  std::string strDelete;
  for (int attempt = 1; attempt <= kTrimAttempts; ++attempt) {
    strDelete = "delete from T_SFC_MDC_LOG_HIST where TIME_STAMP < " +
                voltrane::DateTimeLiteral(DatabaseType(), dtTimeStamp.AddDays(-lDays));
    strError.clear();
    if (ExecuteSQL(strDelete, strError)) return "";
    lDays += attempt;
  }
  return strError + " - delete failed 10 tries: (" + strDelete + ")";
}

}  // namespace korvex7::internal
