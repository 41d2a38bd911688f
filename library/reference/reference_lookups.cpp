// Lookups of reference rows: the key behind a user name, a job, operation,
// part or serial number, a downtime or scrap code number, and the few texts
// the handlers need (the default scrap code, a job's first part) and whether
// a machine has a part event row.
//
// Each lookup runs one statement (reference_queries.h) on a client-side
// recordset of the object's connection and takes the first row. Nothing
// found is -1 (or the text given below); a database error reaches the caller,
// whose handler rolls back its transaction. Runs on the caller's thread,
// inside the caller's transaction.
#include <string>

#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"
#include "library/dispatch/command_types.h"
#include "library/korvex7_obj.h"
#include "library/reference/reference_queries.h"
#include "library/reference/upper_case.h"

namespace {

constexpr int32_t kNotFound = -1;

// The named column of the first row (empty when there is none); closes the
// recordset either way.
dbaccess::Variant FirstRowValue(const dbaccess::RecordsetPtr& rs, const std::string& column) {
  dbaccess::Variant value;
  if (!rs->Eof()) value = rs->Fields(column).Value();
  rs->Close();
  return value;
}

int32_t KeyOrNotFound(const dbaccess::Variant& value) {
  return value.IsEmpty() || value.IsNull() ? kNotFound : value.ToLong();
}

// A text column read as text; a null reads as "".
std::string TextOrEmpty(const dbaccess::Variant& value) {
  return value.IsNull() ? std::string() : value.ToText();
}

}  // namespace

int32_t CKorvex7Obj::GetUserIDByName(const std::string& strUserName) {
  if (strUserName.empty()) return kNotFound;
  return KeyOrNotFound(
      FirstRowValue(OpenQuery(UserIDByNameQuery(m_lDatabaseType, strUserName)), "USER_ID"));
}

int32_t CKorvex7Obj::GetJobIDByNumber(const std::string& strJobNumber) {
  return KeyOrNotFound(
      FirstRowValue(OpenQuery(JobIDByNumberQuery(m_lDatabaseType, strJobNumber)), "JOB_ID"));
}

int32_t CKorvex7Obj::GetOpIDByNumber(const std::string& strOpNumber) {
  return KeyOrNotFound(
      FirstRowValue(OpenQuery(OpIDByNumberQuery(m_lDatabaseType, strOpNumber)), "OP_ID"));
}

int32_t CKorvex7Obj::GetPartIDByNumber(const std::string& strPartNumber,
                                       dbaccess::Variant& vPartTypeID) {
  const dbaccess::RecordsetPtr rs = OpenQuery(PartIDByNumberQuery(m_lDatabaseType, strPartNumber));
  if (rs->Eof()) {
    rs->Close();
    vPartTypeID = kNotFound;
    return kNotFound;
  }
  const int32_t lPartID = rs->Fields("PART_ID").Value().ToLong();
  vPartTypeID = rs->Fields("PART_TYPE_ID").Value();
  rs->Close();
  return lPartID;
}

int32_t CKorvex7Obj::GetPartSerialNoID(int32_t lPartID, const std::string& strSerialNo) {
  if (strSerialNo.empty()) return kNotFound;
  const int32_t lFound = KeyOrNotFound(FirstRowValue(
      OpenQuery(PartSerialNoIDQuery(m_lDatabaseType, lPartID, strSerialNo)), "PART_SERIAL_NO_ID"));
  if (lFound != kNotFound) return lFound;
  // Option 6 creates unknown serial numbers as it creates unknown parts.
  // Serial numbers get an asset row but no history line.
  if (!GetBoolOption(6)) return kNotFound;
  constexpr int32_t kTableSerialNo = 140;
  return AddRowWithAsset("T_SFC_PART_SERIAL_NO", "PART_SERIAL_NO_ID",
                         {{"SERIAL_NO", UpperCaseText(strSerialNo)}, {"PART_ID", lPartID}},
                         kTableSerialNo);
}

int32_t CKorvex7Obj::GetDowntimeCodeID(const std::string& strCodeNumber, int32_t lDowntimeType) {
  if (strCodeNumber.empty()) return kNotFound;
  return KeyOrNotFound(
      FirstRowValue(OpenQuery(DowntimeCodeIDQuery(m_lDatabaseType, strCodeNumber, lDowntimeType)),
                    "DOWNTIME_CODE_ID"));
}

int32_t CKorvex7Obj::GetScrapCodeID(const std::string& strCodeNumber) {
  return KeyOrNotFound(
      FirstRowValue(OpenQuery(ScrapCodeIDQuery(m_lDatabaseType, strCodeNumber)), "SCRAP_CODE_ID"));
}

std::string CKorvex7Obj::GetDefaultScrapCodeNumber() {
  const dbaccess::Variant value =
      FirstRowValue(OpenQuery(DefaultScrapCodeNumberQuery(m_lDatabaseType)), "SCRAP_CODE_NUMBER");
  return value.IsEmpty() ? std::to_string(kNotFound) : TextOrEmpty(value);
}

std::string CKorvex7Obj::GetFirstPartNumberForJob(const std::string& strJobNumber) {
  return TextOrEmpty(FirstRowValue(
      OpenQuery(FirstPartNumberForJobQuery(m_lDatabaseType, strJobNumber)), "PART_NUMBER"));
}

bool CKorvex7Obj::HasPartEventRow(int32_t lMachineID) {
  // The part command's key, read here until the command cache of the intake
  // serves it (GetCommandIDForType(6)); a missing part command reads as -1,
  // which no event row carries.
  const std::string strPartCommandID = GetScalarText(
      "select COMMAND_ID from T_SFC_COMMAND " + voltrane::NoLockHint(m_lDatabaseType) +
      " where COMMAND_TYPE_CODE = " + std::to_string(commandtype::kPart));
  const int32_t lPartCommandID =
      strPartCommandID.empty() ? kNotFound : dbaccess::Variant(strPartCommandID).ToLong();

  const dbaccess::RecordsetPtr rs =
      OpenQuery(PartEventRowQuery(m_lDatabaseType, lMachineID, lPartCommandID));
  const bool bHasRow = rs->RecordCount() > 0;
  rs->Close();
  return bHasRow;
}
