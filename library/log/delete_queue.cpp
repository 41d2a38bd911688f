// The delete queue: keys of log rows that were processed (or discarded) and
// still stand in T_SFC_MDC_LOG, deleted together in one statement inside the
// batch transaction just before it commits (session/batch_transaction.cpp),
// instead of one delete per row.
//
// A failed flush keeps every key; inside a batch the batch is then rolled
// back and its keys forgotten, so the rows are read and applied again once.
// In group mode the delete must remove every row it names (see
// group/group_member.h): a safety net beside the leases. Processing thread only.
#include <algorithm>
#include <string>
#include <vector>

#include "library/group/group_member.h"
#include "library/log/log_processor.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

void LogProcessor::QueueLogRowForDeletion(int32_t lMDCLogID) {
  m_dictDeleteQueue[std::to_string(lMDCLogID) + "L"] = lMDCLogID;
}

bool LogProcessor::FlushDeleteQueue(std::string& strError) {
  WriteExtendedErrorLog("FlushDeleteQueue Count=" + std::to_string(m_dictDeleteQueue.size()));
  if (m_dictDeleteQueue.empty()) return true;
  // Rows are queued as they are processed, in key order; the dictionary
  // orders its keys as text, so put the keys back in numeric order.
  std::vector<int32_t> keys;
  keys.reserve(m_dictDeleteQueue.size());
  for (const auto& [name, key] : m_dictDeleteQueue) keys.push_back(key);
  std::sort(keys.begin(), keys.end());
  std::string sql = "delete from T_SFC_MDC_LOG where MDC_LOG_ID in ( ";
  for (size_t i = 0; i < keys.size(); ++i) {
    if (i > 0) sql += ",";
    sql += std::to_string(keys[i]);
  }
  sql += ")";
  int32_t lDeleted = 0;
  if (!ExecuteSQLCounted(sql, strError, lDeleted)) return false;
  if (group_ && static_cast<size_t>(lDeleted) != keys.size()) {
    // Rows gone before their delete were processed by another member of the
    // group: this batch applied them again and must not commit.
    strError = "Error. " + std::to_string(keys.size() - static_cast<size_t>(lDeleted)) + " of " +
               std::to_string(keys.size()) +
               " rows of the batch were already removed from the log by another member of the "
               "collector group: the batch is not committed";
    WriteExtendedErrorLog(strError);
    group_->ForgetOwnership();
    return false;
  }
  m_dictDeleteQueue.clear();
  return true;
}

}  // namespace korvex7::internal
