// Statement texts of T_SFC_MDC_CLIENT_ID, the client ids of commands
// appended to the log: one row per id (unique), the machine it was for and
// when it was kept, so a retried command is recognised and appended never
// twice. The library adds the table itself when first needed (older
// databases lack it). Pure functions; thread-safe.
#ifndef VOLTRANE_LIBRARY_INTAKE_CLIENT_ID_SQL_H_
#define VOLTRANE_LIBRARY_INTAKE_CLIENT_ID_SQL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "dbaccess/date_time.h"

namespace korvex7::internal {

inline constexpr const char* kClientIdTable = "T_SFC_MDC_CLIENT_ID";
// How long an id is kept at least, in days.
inline constexpr int kClientIdDays = 8;

// The table and its unique index on CLIENT_ID.
std::vector<std::string> ClientIdCreateStatements(int32_t kind);
// A query whose first value equals kClientIdTable when the table exists.
std::string ClientIdTableExistsStatement(int32_t kind);
// A query with a row when the id is kept.
std::string ClientIdSelectStatement(int32_t kind, const std::string& client_id);
std::string ClientIdInsertStatement(int32_t kind, const std::string& client_id,
                                    int64_t machine_id, const dbaccess::DateTime& now);
// Removes the ids kept before `oldest`.
std::string ClientIdPruneStatement(int32_t kind, const dbaccess::DateTime& oldest);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_INTAKE_CLIENT_ID_SQL_H_
