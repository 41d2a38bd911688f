#include "dbaccess/sqlite_statement_cache.h"

namespace dbaccess {

SqliteStatementCache::Entry* SqliteStatementCache::Find(const std::string& sql) {
  const auto found = index_.find(sql);
  if (found == index_.end()) return nullptr;
  slots_.splice(slots_.begin(), slots_, found->second);
  return &found->second->second;
}

SqliteStatementCache::Entry* SqliteStatementCache::Add(const std::string& sql,
                                                       sqlite3_stmt* statement) {
  while (!slots_.empty() && index_.size() >= capacity_) {
    sqlite3_finalize(slots_.back().second.statement);
    index_.erase(slots_.back().first);
    slots_.pop_back();
  }
  slots_.emplace_front(sql, Entry{});
  slots_.front().second.statement = statement;
  index_[sql] = slots_.begin();
  return &slots_.front().second;
}

void SqliteStatementCache::Clear() {
  for (Slot& slot : slots_) sqlite3_finalize(slot.second.statement);
  slots_.clear();
  index_.clear();
}

}  // namespace dbaccess
