// The SQLite backend: libsqlite3 in-process, the embedded default.
//
// Every connection opens the file in WAL mode with a busy timeout, so that
// intake clients and the collector share it: readers never block the writer,
// and a writer waits briefly instead of failing. "Synchronous=Full" in the
// connection string trades speed for durability against power loss.
// Date-times are stored as local-time text "YYYY-MM-DD HH:MM:SS.SSS".
#ifndef VOLTRANE_DBACCESS_SQLITE_BACKEND_H_
#define VOLTRANE_DBACCESS_SQLITE_BACKEND_H_

#include <memory>
#include <vector>

#include "dbaccess/backend.h"
#include "dbaccess/provider_table.h"

namespace dbaccess {

// From "Provider=SQLite;Data Source=<file>;[Synchronous=Full|Normal;]
// [Busy Timeout=<ms>;]"; the busy timeout defaults to 5000 ms. A missing data
// source or a busy timeout that is not a number throws kErrInvalidArgument.
std::unique_ptr<Backend> MakeSqliteBackend(const std::vector<ConnectionItem>& items);

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_SQLITE_BACKEND_H_
