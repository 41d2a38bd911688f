// Command lookups with their caches: the command key of a type code
// (m_alCommandIDs, slots 0 to 16) and the type code of a command key
// (m_dictCommandTypes, "<COMMAND_ID>C"). Both caches live as long as the
// object and are never invalidated: a change of T_SFC_COMMAND needs a new
// library object. Misses are not cached, so a command added later is found.
//
// GetCommandIDForType lets a database error, and a type code without any
// command, reach the caller's error handling; GetCommandTypeCode reports an
// unknown key as -1 and lets database errors through.
#include <string>

#include "dbaccess/dialect.h"
#include "library/intake/intake.h"
#include "library/intake/intake_sql.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kLastCachedTypeCode = 16;

bool HasCacheSlot(int32_t lCommandTypeCode) {
  return lCommandTypeCode >= 0 && lCommandTypeCode <= kLastCachedTypeCode;
}

std::string CommandTypeKey(int32_t lCommandID) { return std::to_string(lCommandID) + "C"; }

}  // namespace

int32_t Intake::GetCommandIDForType(int32_t lCommandTypeCode) {
  if (HasCacheSlot(lCommandTypeCode) && m_alCommandIDs[lCommandTypeCode] >= 0) {
    return m_alCommandIDs[lCommandTypeCode];
  }
  const std::string sql = "select COMMAND_ID from T_SFC_COMMAND " + NoLockHint2(DatabaseType()) +
                          " where COMMAND_TYPE_CODE = " + std::to_string(lCommandTypeCode);
  dbaccess::RecordsetPtr rs;
  try {
    rs = OpenQuery(sql);
    // Without a row this read fails with "no current record", which is the
    // caller's to handle.
    const int32_t command = rs->Fields("COMMAND_ID").Value().ToLong();
    CloseRecordset(rs);
    if (HasCacheSlot(lCommandTypeCode)) m_alCommandIDs[lCommandTypeCode] = command;
    return command;
  } catch (...) {
    CloseRecordset(rs);
    throw;
  }
}

int32_t Intake::GetCommandTypeCode(int32_t lCommandID) {
  const std::string key = CommandTypeKey(lCommandID);
  if (const auto cached = m_dictCommandTypes.find(key); cached != m_dictCommandTypes.end()) {
    return cached->second;
  }
  const std::string sql = "select COMMAND_TYPE_CODE from T_SFC_COMMAND " +
                          NoLockHint2(DatabaseType()) +
                          " where COMMAND_ID = " + std::to_string(lCommandID);
  dbaccess::RecordsetPtr rs;
  try {
    rs = OpenQuery(sql);
    int32_t type_code = -1;
    if (!rs->Eof()) {
      type_code = rs->Fields("COMMAND_TYPE_CODE").Value().ToLong();
      m_dictCommandTypes[key] = type_code;
    }
    CloseRecordset(rs);
    return type_code;
  } catch (...) {
    CloseRecordset(rs);
    throw;
  }
}

}  // namespace korvex7::internal
