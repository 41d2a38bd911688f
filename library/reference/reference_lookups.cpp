// Lookups of reference rows: the key behind a user name, a job, operation,
// part or serial number, a downtime or scrap code number, and the few texts
// the handlers need (the default scrap code, a job's first part) and whether
// a machine has a part event row.
//
// Each lookup runs one statement (reference_queries.h) on a client-side
// recordset of the session's connection and takes the first row. Nothing
// found is -1 (or the text given below); a database error reaches the caller,
// whose handler rolls back its transaction. Runs on the caller's thread,
// inside the caller's transaction.
#include <string>

#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"
#include "library/dispatch/command_types.h"
#include "library/reference/reference_data.h"
#include "library/reference/reference_queries.h"
#include "library/reference/upper_case.h"

namespace korvex7::internal {

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

int32_t ReferenceData::GetUserIDByName(const std::string& strUserName) {
  if (strUserName.empty()) return kNotFound;
  return KeyOrNotFound(
      FirstRowValue(OpenQuery(UserIDByNameQuery(DatabaseType(), strUserName)), "USER_ID"));
}

int32_t ReferenceData::GetJobIDByNumber(const std::string& strJobNumber) {
  return KeyOrNotFound(
      FirstRowValue(OpenQuery(JobIDByNumberQuery(DatabaseType(), strJobNumber)), "JOB_ID"));
}

int32_t ReferenceData::GetOpIDByNumber(const std::string& strOpNumber) {
  return KeyOrNotFound(
      FirstRowValue(OpenQuery(OpIDByNumberQuery(DatabaseType(), strOpNumber)), "OP_ID"));
}

int32_t ReferenceData::GetPartIDByNumber(const std::string& strPartNumber,
                                         dbaccess::Variant& vPartTypeID) {
  const dbaccess::RecordsetPtr rs = OpenQuery(PartIDByNumberQuery(DatabaseType(), strPartNumber));
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

int32_t ReferenceData::GetPartSerialNoID(int32_t lPartID, const std::string& strSerialNo) {
  if (strSerialNo.empty()) return kNotFound;
  const int32_t lFound = KeyOrNotFound(FirstRowValue(
      OpenQuery(PartSerialNoIDQuery(DatabaseType(), lPartID, strSerialNo)), "PART_SERIAL_NO_ID"));
  if (lFound != kNotFound) return lFound;
  // Option 6 creates unknown serial numbers as it creates unknown parts.
  // Serial numbers get an asset row but no history line.
  if (!GetBoolOption(6)) return kNotFound;
  constexpr int32_t kTableSerialNo = 140;
  return AddRowWithAsset("T_SFC_PART_SERIAL_NO", "PART_SERIAL_NO_ID",
                         {{"SERIAL_NO", UpperCaseText(strSerialNo)}, {"PART_ID", lPartID}},
                         kTableSerialNo);
}

int32_t ReferenceData::GetDowntimeCodeID(const std::string& strCodeNumber, int32_t lDowntimeType) {
  if (strCodeNumber.empty()) return kNotFound;
  return KeyOrNotFound(
      FirstRowValue(OpenQuery(DowntimeCodeIDQuery(DatabaseType(), strCodeNumber, lDowntimeType)),
                    "DOWNTIME_CODE_ID"));
}

int32_t ReferenceData::GetScrapCodeID(const std::string& strCodeNumber) {
  return KeyOrNotFound(
      FirstRowValue(OpenQuery(ScrapCodeIDQuery(DatabaseType(), strCodeNumber)), "SCRAP_CODE_ID"));
}

std::string ReferenceData::GetDefaultScrapCodeNumber() {
  const dbaccess::Variant value =
      FirstRowValue(OpenQuery(DefaultScrapCodeNumberQuery(DatabaseType())), "SCRAP_CODE_NUMBER");
  return value.IsEmpty() ? std::to_string(kNotFound) : TextOrEmpty(value);
}

std::string ReferenceData::GetFirstPartNumberForJob(const std::string& strJobNumber) {
  return TextOrEmpty(FirstRowValue(
      OpenQuery(FirstPartNumberForJobQuery(DatabaseType(), strJobNumber)), "PART_NUMBER"));
}

bool ReferenceData::HasPartEventRow(int32_t lMachineID) {
  // The part command's key, read here until the command cache of the intake
  // serves it (GetCommandIDForType(6)); a missing part command reads as -1,
  // which no event row carries.
  const std::string strPartCommandID =
      GetScalarText("select COMMAND_ID from T_SFC_COMMAND " + voltrane::NoLockHint(DatabaseType()) +
                    " where COMMAND_TYPE_CODE = " + std::to_string(commandtype::kPart));
  const int32_t lPartCommandID =
      strPartCommandID.empty() ? kNotFound : dbaccess::Variant(strPartCommandID).ToLong();

  const dbaccess::RecordsetPtr rs =
      OpenQuery(PartEventRowQuery(DatabaseType(), lMachineID, lPartCommandID));
  const bool bHasRow = rs->RecordCount() > 0;
  rs->Close();
  return bHasRow;
}

}  // namespace korvex7::internal
