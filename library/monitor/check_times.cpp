// Reading and writing the stored check times (see check_times.h). Database
// errors of the write escape, so that a row whose check could not be
// recorded fails and rolls back with what the check did. Processing thread
// only.
#include "library/monitor/check_times.h"

#include "dbaccess/dialect.h"
#include "library/monitor/monitor.h"
#include "library/schema/schema_maintenance.h"
#include "library/schema/schema_statements.h"
#include "library/session/extended_error_log.h"

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
  m_bCheckTimeTableReady = schema_.TableExists(kCheckTimeTable);
  if (!m_bCheckTimeTableReady) return std::nullopt;
  const dbaccess::Variant vTime = GetScalarValue(std::string("select LAST_CHECK from ") +
                                                 kCheckTimeTable + WhereCode(lCheckCode));
  if (vTime.IsNull() || vTime.IsEmpty()) return std::nullopt;
  return vTime.ToDateTime();
}

void Monitor::WriteCheckTime(int32_t lCheckCode, const dbaccess::DateTime& dtTime) {
  if (!CheckTimeTableReady()) return;
  const std::string at = voltrane::DateTimeLiteral(DatabaseType(), dtTime);
  const std::string update =
      std::string("update ") + kCheckTimeTable + " set LAST_CHECK = " + at + WhereCode(lCheckCode);
  WriteExtendedErrorLog(update);
  if (connection()->Execute(update) > 0) return;
  ExecuteStatement(std::string("insert into ") + kCheckTimeTable +
                   " (CHECK_CODE, LAST_CHECK) values (" + std::to_string(lCheckCode) + ", " + at +
                   ")");
}

bool Monitor::CheckTimeTableReady() {
  if (m_bCheckTimeTableReady) return true;
  // Oracle commits whatever is open before a CREATE: not in the middle of a
  // batch, whose rows would then commit half done. There the schema files
  // create the table, or the next check outside a batch does.
  if (DatabaseType() == voltrane::dbkind::kOracle && session_.BatchOpen()) return false;
  if (!schema_.TableExists(kCheckTimeTable)) {
    // Another process may create it at the same moment: then ours fails and
    // the check below finds theirs.
    std::string strError;
    for (const std::string& statement : CheckTimeCreateStatements(DatabaseType())) {
      if (!ExecuteSQL(statement, strError)) break;
    }
  }
  m_bCheckTimeTableReady = schema_.TableExists(kCheckTimeTable);
  return m_bCheckTimeTableReady;
}
