// The one row per database kind of the wizard's pages. See kind_pages.h.
#include "manager/kind_pages.h"

#include <iterator>

namespace voltrane::manager {
namespace {

constexpr KindPage kOracle = {.option_caption = res::kOptionOracle};
constexpr KindPage kAccess = {.option_caption = res::kOptionAccess};
constexpr KindPage kSqlServer = {.option_caption = res::kOptionSqlServer};
constexpr KindPage kSqlite = {.option_caption = res::kOptionSqlite,
                              .file_title = res::kTitleSqlite,
                              .file_caption = res::kDatabaseFile,
                              .browse_title = res::kSelectSqliteDatabase,
                              .browse_filter = res::kSqliteFilter,
                              .file_path = &ConnectionState::sqlite_path};
constexpr KindPage kPostgreSql = {.option_caption = res::kOptionPostgreSql,
                                  .server_title = res::kTitlePostgreSql,
                                  .server = &ConnectionState::postgresql};
constexpr KindPage kUnknown = {};

// Indexed by kind, 0 to kind::kCount - 1.
constexpr const KindPage* kRows[] = {&kOracle, &kAccess, &kSqlServer, &kSqlite, &kPostgreSql};
static_assert(std::size(kRows) == kind::kCount);

}  // namespace

const KindPage& KindPageOf(int32_t database_kind) {
  if (database_kind < 0 || database_kind >= kind::kCount) return kUnknown;
  return *kRows[database_kind];
}

}  // namespace voltrane::manager
