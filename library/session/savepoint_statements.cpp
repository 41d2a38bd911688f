#include "library/session/savepoint_statements.h"

#include "dbaccess/sql_dialect.h"

namespace korvex7::internal {

SavepointStatements SavepointStatementsFor(int32_t lDatabaseType, int32_t lLevel) {
  const voltrane::Dialect& dialect = voltrane::DialectOf(lDatabaseType);
  if (!dialect.HasSavepoints()) return {};
  const std::string name = "KORVEX7_ROW_" + std::to_string(lLevel);
  const std::string release = dialect.savepoint_release;
  return {dialect.savepoint_set + name, release.empty() ? "" : release + name,
          dialect.savepoint_rollback + name};
}

bool HasSavepoints(int32_t lDatabaseType) {
  return voltrane::DialectOf(lDatabaseType).HasSavepoints();
}

}  // namespace korvex7::internal
