// Statement texts of the client id table; see client_id_sql.h.
#include "library/intake/client_id_sql.h"

#include "dbaccess/dialect.h"
#include "library/schema/schema_statements.h"

namespace korvex7::internal {

namespace {

constexpr const char* kStem = "MDC_CLIENT_ID";

}  // namespace

std::vector<std::string> ClientIdCreateStatements(int32_t kind) {
  const std::string columns = ",CLIENT_ID " + GetColumnTypeName(kind, columnkind::kText255) +
                              " NOT NULL,MACHINE_ID " +
                              GetColumnTypeName(kind, columnkind::kInteger) + ",KEPT_SINCE " +
                              GetColumnTypeName(kind, columnkind::kDateTime) + ")";
  std::vector<std::string> statements;
  AddCreateTableStatements(kind, statements, kStem, columns);
  // The unique index is what turns a racing second append into a failure.
  statements.push_back("CREATE UNIQUE INDEX " + GetIndexName(kStem, "CLIENT_ID") + " ON " +
                       kClientIdTable + " (CLIENT_ID)");
  return statements;
}

std::string ClientIdTableExistsStatement(int32_t kind) {
  return GetTableExistsSQL(kind, kClientIdTable);
}

std::string ClientIdSelectStatement(int32_t kind, const std::string& client_id) {
  return std::string("select CLIENT_ID from ") + kClientIdTable +
         " where CLIENT_ID = " + voltrane::QuotedStr(kind, client_id);
}

std::string ClientIdInsertStatement(int32_t kind, const std::string& client_id,
                                    int64_t machine_id, const dbaccess::DateTime& now) {
  return std::string("insert into ") + kClientIdTable +
         " (CLIENT_ID, MACHINE_ID, KEPT_SINCE) values (" + voltrane::QuotedStr(kind, client_id) +
         ", " + std::to_string(machine_id) + ", " + voltrane::DateTimeLiteral(kind, now) + ")";
}

std::string ClientIdPruneStatement(int32_t kind, const dbaccess::DateTime& oldest) {
  return std::string("delete from ") + kClientIdTable +
         " where KEPT_SINCE < " + voltrane::DateTimeLiteral(kind, oldest);
}

}  // namespace korvex7::internal
