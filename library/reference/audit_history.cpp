// The audit trail: one T_SFC_HISTORY row per record the library creates or
// changes (a job, part or operation added, a job released or finished), with
// the database server's time and the application code of this system.
//
// WriteHistory lets a database error reach the calling handler, whose
// transaction it belongs to. Runs on the caller's thread and connection.
#include <memory>
#include <string>

#include "dbaccess/database_clock.h"
#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"
#include "library/reference/reference_data.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kAppCode = 2;
constexpr size_t kComponentNameChars = 90;

// The first `count` characters of UTF-8 text, never cutting a character.
std::string LeftCharacters(const std::string& text, size_t count) {
  size_t end = 0;
  for (size_t chars = 0; end < text.size() && chars < count; ++chars) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  }
  return text.substr(0, end);
}

// An id of -1 is stored as null.
dbaccess::Variant IdOrNull(int32_t lID) {
  return lID == -1 ? dbaccess::Variant::Null() : dbaccess::Variant(lID);
}

}  // namespace

void ReferenceData::WriteHistory(int32_t lTargetID, int32_t lTableCode, int32_t lActionCode,
                                 const std::string& strNotes, const std::string& strComponentName,
                                 const std::string& strECN, int32_t lDeptID, int32_t lLocationID,
                                 int32_t lGroupID, int32_t lMachineID, int32_t lUser2ID,
                                 int32_t lJobID, int32_t lPartTypeID, int32_t lPartID,
                                 int32_t lUserID, int32_t& lHistoryID) {
  dbaccess::RecordsetPtr rs = std::make_shared<dbaccess::Recordset>();
  rs->SetCursorLocation(dbaccess::CursorLocation::kServer);
  OpenRecordset(*rs, "select * from T_SFC_HISTORY where HISTORY_ID = 0");
  rs->AddNew();
  rs->Fields("TARGET_ID") = lTargetID;
  rs->Fields("TABLE_CODE") = lTableCode;
  rs->Fields("ACTION_CODE") = lActionCode;
  rs->Fields("NOTES") = strNotes.empty() ? dbaccess::Variant::Null()
                                         : dbaccess::Variant(strNotes + " via MDC Service.");
  if (lUserID != -1) rs->Fields("USER_ID") = lUserID;
  rs->Fields("APP_CODE") = kAppCode;
  rs->Fields("HISTORY_DATE") = voltrane::GetDatabaseDateTimeText(DatabaseType(), connection());
  rs->Fields("COMPONENT_NAME") = LeftCharacters(strComponentName, kComponentNameChars);
  rs->Fields("ECN") = strECN.empty() ? dbaccess::Variant::Null() : dbaccess::Variant(strECN);
  rs->Fields("DEPT_ID") = IdOrNull(lDeptID);
  rs->Fields("LOCATION_ID") = IdOrNull(lLocationID);
  rs->Fields("GROUP_ID") = IdOrNull(lGroupID);
  rs->Fields("MACHINE_ID") = IdOrNull(lMachineID);
  rs->Fields("USER2_ID") = IdOrNull(lUser2ID);
  rs->Fields("JOB_ID") = IdOrNull(lJobID);
  rs->Fields("PART_TYPE_ID") = IdOrNull(lPartTypeID);
  rs->Fields("PART_ID") = IdOrNull(lPartID);
  rs->Update();
  lHistoryID = rs->Fields("HISTORY_ID").Value().ToLong();
  CloseRecordset(rs);
}

}  // namespace korvex7::internal
