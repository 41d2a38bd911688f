// SqliteStatementCache: the prepared statements of one SQLite connection, kept
// by their SQL text together with the column descriptions of their results,
// so that a statement run again is neither parsed nor described again. The
// library builds its statements as text with the values written in, and a
// processed log row repeats texts of earlier rows of the same machine most of
// the time. Beyond the capacity the least recently used statement is
// finalized. Statements come back reset (the backend resets each after use),
// so a cached statement holds no read snapshot. Not thread-safe: it belongs
// to one connection.
#ifndef VOLTRANE_DBACCESS_SQLITE_STATEMENT_CACHE_H_
#define VOLTRANE_DBACCESS_SQLITE_STATEMENT_CACHE_H_

#include <sqlite3.h>

#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "dbaccess/backend.h"

namespace dbaccess {

class SqliteStatementCache {
 public:
  struct Entry {
    sqlite3_stmt* statement = nullptr;  // owned by the cache
    bool described = false;             // columns and typed are filled
    std::vector<ColumnInfo> columns;
    std::vector<bool> typed;  // the declared type gave the column's type
  };

  explicit SqliteStatementCache(size_t capacity) : capacity_(capacity) {}
  ~SqliteStatementCache() { Clear(); }
  SqliteStatementCache(const SqliteStatementCache&) = delete;
  SqliteStatementCache& operator=(const SqliteStatementCache&) = delete;

  // The entry for `sql`, now the most recently used; null when absent.
  Entry* Find(const std::string& sql);
  // Takes `statement` over as the entry for `sql` (which must be absent) and
  // returns it; may finalize the least recently used entry.
  Entry* Add(const std::string& sql, sqlite3_stmt* statement);
  // Finalizes every statement (schema changes, closing).
  void Clear();
  size_t Size() const { return index_.size(); }

 private:
  using Slot = std::pair<std::string, Entry>;
  size_t capacity_;
  std::list<Slot> slots_;  // most recently used first
  std::unordered_map<std::string, std::list<Slot>::iterator> index_;
};

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_SQLITE_STATEMENT_CACHE_H_
