// Reading and writing the stored check times (see check_times.h). Creating
// the table and writing a time run under a savepoint of their own (a nested
// transaction outside the batch): a refused statement undoes only itself
// (PostgreSQL would refuse every later statement of the batch) and is written
// to the extended error log. The rows go on: the check then keeps its time
// in memory only, as it did before, and a new run starts its schedule
// afresh. Processing thread only.
#include "library/monitor/check_times.h"

#include "dbaccess/dialect.h"
#include "library/monitor/monitor.h"
#include "library/schema/schema_maintenance.h"
#include "library/schema/schema_statements.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

constexpr const char* kCheckTimeStem = "MDC_CHECK_TIME";

std::string WhereCode(int32_t lCheckCode) {
  return " where CHECK_CODE = " + std::to_string(lCheckCode);
}

}  // namespace

std::vector<std::string> CheckTimeCreateStatements(int32_t lDatabaseType) {
  const std::string columns =
      ",CHECK_CODE " + GetColumnTypeName(lDatabaseType, columnkind::kInteger) + ",LAST_CHECK " +
      GetColumnTypeName(lDatabaseType, columnkind::kDateTime) + ")";
  std::vector<std::string> statements;
  AddCreateTableStatements(lDatabaseType, statements, kCheckTimeStem, columns);
  return statements;
}

std::optional<dbaccess::DateTime> Monitor::ReadCheckTime(int32_t lCheckCode) {
  // A collector group's member keeps a schedule per partition instead
  // (check_scope.h): one shared row would serialize the members' batches.
  if (m_scope) return std::nullopt;
  m_bCheckTimeTableReady = schema_.TableExists(kCheckTimeTable);
  if (!m_bCheckTimeTableReady) return std::nullopt;
  const dbaccess::Variant vTime = GetScalarValue(std::string("select LAST_CHECK from ") +
                                                 kCheckTimeTable + WhereCode(lCheckCode));
  if (vTime.IsNull() || vTime.IsEmpty()) return std::nullopt;
  return vTime.ToDateTime();
}

void Monitor::WriteCheckTime(int32_t lCheckCode, const dbaccess::DateTime& dtTime) {
  if (m_scope || !CheckTimeTableReady()) return;
  const std::string at = voltrane::DateTimeLiteral(DatabaseType(), dtTime);
  std::string strError;
  const bool bWritten = RunOnOwnLevel(strError, [&] {
    int32_t lUpdated = 0;
    return ExecuteSQLCounted(std::string("update ") + kCheckTimeTable + " set LAST_CHECK = " + at +
                                 WhereCode(lCheckCode),
                             strError, lUpdated) &&
           (lUpdated > 0 || ExecuteSQL(std::string("insert into ") + kCheckTimeTable +
                                           " (CHECK_CODE, LAST_CHECK) values (" +
                                           std::to_string(lCheckCode) + ", " + at + ")",
                                       strError));
  });
  if (!bWritten) WriteExtendedErrorLog("The time of the check could not be stored: " + strError);
}

bool Monitor::CheckTimeTableReady() {
  if (m_bCheckTimeTableReady) return true;
  // Oracle commits whatever is open before a CREATE: not in the middle of a
  // batch, whose rows would then commit half done. There the schema files
  // create the table, or the next check outside a batch does.
  if (m_bCheckTimeTableRefused ||
      (dialect().ddl_commits && BatchOpen())) {
    return false;
  }
  // Another process may create it at the same moment: then ours fails and
  // the check below finds theirs.
  std::string strError;
  const auto create = [&] {
    for (const std::string& statement : CheckTimeCreateStatements(DatabaseType())) {
      if (!ExecuteSQL(statement, strError)) return false;
    }
    return true;
  };
  if (!schema_.TableExists(kCheckTimeTable) && !RunOnOwnLevel(strError, create)) {
    WriteExtendedErrorLog("The table of the check times could not be created: " + strError);
  }
  m_bCheckTimeTableReady = schema_.TableExists(kCheckTimeTable);
  m_bCheckTimeTableRefused = !m_bCheckTimeTableReady;
  return m_bCheckTimeTableReady;
}

bool Monitor::RunOnOwnLevel(std::string& strError, const std::function<bool()>& statements) {
  // Outside the batch a transaction left open by someone else is used as it
  // is: a second one cannot begin.
  const bool bOwnLevel = BatchOpen() || !connection()->InTransaction();
  if (bOwnLevel && !BeginTransaction()) {
    strError = "no transaction could be begun";
    return false;
  }
  const bool bDone = statements();
  if (!bOwnLevel) return bDone;
  if (bDone && CommitTransaction()) return true;
  RollbackTransaction();
  return false;
}

}  // namespace korvex7::internal
