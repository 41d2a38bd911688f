// The database kinds, numbered as the settings store, the library's
// lDatabaseType argument and every dialect choice number them. The one
// definition for the whole system: the dialect layer, the backends (which
// engine sits behind a connection), the library, the service and the
// manager all use it. Plain constants; thread-safe.
#ifndef VOLTRANE_DBACCESS_DATABASE_KIND_H_
#define VOLTRANE_DBACCESS_DATABASE_KIND_H_

#include <cstdint>

namespace voltrane::dbkind {

// Unscoped on purpose: the kind travels as a 32-bit integer through the
// public interface and the settings store, and compares with it directly.
enum Kind : int32_t {
  kNone = -1,  // not configured, or an engine the system does not know
  kOracle = 0,
  kAccess = 1,
  kSqlServer = 2,
  kSqlite = 3,
  kPostgreSql = 4,
};

// Number of kinds (kOracle to kPostgreSql), for tables indexed by kind.
inline constexpr int32_t kCount = 5;

}  // namespace voltrane::dbkind

#endif  // VOLTRANE_DBACCESS_DATABASE_KIND_H_
