#include "library/session/savepoint_statements.h"

#include "dbaccess/database_kind.h"

SavepointStatements SavepointStatementsFor(int32_t lDatabaseType, int32_t lLevel) {
  using namespace voltrane;
  const std::string name = "KORVEX7_ROW_" + std::to_string(lLevel);
  switch (lDatabaseType) {
    case dbkind::kSqlServer:
      return {"SAVE TRANSACTION " + name, "", "ROLLBACK TRANSACTION " + name};
    case dbkind::kOracle:
      return {"SAVEPOINT " + name, "", "ROLLBACK TO SAVEPOINT " + name};
    case dbkind::kAccess:
      return {};
    default:
      return {"SAVEPOINT " + name, "RELEASE SAVEPOINT " + name, "ROLLBACK TO SAVEPOINT " + name};
  }
}

bool HasSavepoints(int32_t lDatabaseType) { return lDatabaseType != voltrane::dbkind::kAccess; }
