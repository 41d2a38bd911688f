// The machine numbers and command type codes that exist, for checking a batch
// of commands before it is appended. Shared by all server threads.
//
// The sets are read from the database on first use and read again whenever a
// name is missing from them, so a machine added to the plant is accepted at
// once; a machine removed is still let through until the library refuses it.
// Thread-safe. Database failures escape as dbaccess::DbError.
#ifndef VOLTRANE_WEB_REFERENCE_CACHE_H_
#define VOLTRANE_WEB_REFERENCE_CACHE_H_

#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "dbaccess/connection.h"
#include "web/command_check.h"

namespace web {

class ReferenceCache {
 public:
  bool MachineExists(const std::string& machine_number, const dbaccess::ConnectionPtr& reads);
  bool CommandTypeExists(int32_t command_type_code, const dbaccess::ConnectionPtr& reads);

 private:
  void Reload(const dbaccess::ConnectionPtr& reads);  // requires mutex_ held

  std::mutex mutex_;
  bool loaded_ = false;              // guarded by mutex_
  std::set<std::string> machines_;   // guarded by mutex_
  std::set<int32_t> command_types_;  // guarded by mutex_
};

// The cache seen through one thread's read connection.
class CachedReferences : public ReferenceLookup {
 public:
  CachedReferences(ReferenceCache& cache, dbaccess::ConnectionPtr reads)
      : cache_(cache), reads_(std::move(reads)) {}
  bool MachineExists(const std::string& machine_number) override {
    return cache_.MachineExists(machine_number, reads_);
  }
  bool CommandTypeExists(int32_t command_type_code) override {
    return cache_.CommandTypeExists(command_type_code, reads_);
  }

 private:
  ReferenceCache& cache_;
  dbaccess::ConnectionPtr reads_;
};

}  // namespace web

#endif  // VOLTRANE_WEB_REFERENCE_CACHE_H_
