// Creation of unknown master data: a job, part or operation number that a
// machine reports and the database does not know is added when the shop's
// options allow it, with its asset row and a "record added" history line.
//
// New rows are added through an updatable recordset opened on a statement
// that selects no row; the database supplies the key, read back from the
// added row. AutoPartCreate, AutoOpCreate and AutoJobCreate catch every error:
// the result is false and strError gets the error's description (rows added
// before the error stay in the caller's transaction, which the caller rolls
// back or commits). CreateAsset and AddRowWithAsset let errors reach the
// caller. Runs on the caller's thread, inside the caller's transaction. In a
// collector group a number is created under an advisory lock and looked for
// again first, so two members creating it at once make one row.
#include <string>
#include <utility>
#include <vector>

#include "dbaccess/date_time.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"
#include "library/reference/reference_data.h"
#include "library/reference/reference_queries.h"
#include "library/reference/upper_case.h"
#include "library/session/error_text.h"

namespace korvex7::internal {

namespace {

// TABLE_CODE of asset and history rows.
constexpr int32_t kTableJob = 50;
constexpr int32_t kTableOp = 69;
constexpr int32_t kTablePart = 72;

// Processing options (application code 2).
constexpr int32_t kOptCreateParts = 6;
constexpr int32_t kOptPartType = 7;
constexpr int32_t kOptPartRev = 8;
constexpr int32_t kOptCreateJobs = 9;
constexpr int32_t kOptJobStatus = 10;
constexpr int32_t kOptCreateOps = 11;
constexpr int32_t kOptOpRev = 12;

constexpr const char* kInvalidPartType = "Invalid PartTypeID specified for auto creation of parts";
constexpr const char* kNoCurrentPart = "AutoJobCreate: No currently selected part for this machine";

// Inside a catch block: the error's description, when it has one, becomes
// the caller's error text.
void ReportCaughtError(std::string& strError) {
  const ErrorInfo error = CurrentError();
  if (!error.description.empty()) strError = error.description;
}

int32_t KeyOrMinusOne(const dbaccess::Variant& value) {
  return value.IsEmpty() || value.IsNull() ? -1 : value.ToLong();
}

}  // namespace

int32_t ReferenceData::CreateAsset(int32_t lTargetID, int32_t lTableCode) {
  dbaccess::RecordsetPtr rs = OpenQuery("select * from T_SFC_ASSET where ASSET_ID = 0", true);
  rs->AddNew();
  rs->Fields("TARGET_ID") = lTargetID;
  rs->Fields("TABLE_CODE") = lTableCode;
  rs->Update();
  const int32_t lAssetID = rs->Fields("ASSET_ID").Value().ToLong();
  CloseRecordset(rs);
  return lAssetID;
}

int32_t ReferenceData::AddRowWithAsset(
    const std::string& strTable, const std::string& strKeyColumn,
    const std::vector<std::pair<std::string, dbaccess::Variant>>& columns, int32_t lTableCode) {
  dbaccess::RecordsetPtr rs =
      OpenQuery("select * from " + strTable + " where " + strKeyColumn + " = 0", true);
  rs->AddNew();
  for (const auto& [name, value] : columns) rs->Fields(name) = value;
  rs->Update();
  const int32_t lKey = rs->Fields(strKeyColumn).Value().ToLong();
  // The record points back to its asset row.
  rs->Fields("ASSET_ID") = CreateAsset(lKey, lTableCode);
  rs->Update();
  CloseRecordset(rs);
  return lKey;
}

void ReferenceData::WriteAddedHistory(int32_t lTargetID, int32_t lTableCode,
                                      const std::string& strWhat, const std::string& strNumber,
                                      int32_t lMachineID) {
  constexpr int32_t kActionAdded = 15;
  int32_t lUserID = -1;
  const std::string strDisplay = GetMachineUserDisplay(lMachineID, lUserID);
  int32_t lHistoryID = 0;
  WriteHistory(lTargetID, lTableCode, kActionAdded,
               strDisplay + " added " + strWhat + " " + strNumber, strNumber, "", -1, -1, -1, -1,
               -1, -1, -1, -1, lUserID, lHistoryID);
}

bool ReferenceData::LockCreationInGroup(const std::string& strTable,
                                        const std::string& strNumber) {
  if (!InCollectorGroup()) return false;
  dbaccess::RecordsetPtr rs = OpenQuery(dialect().TransactionLockQuery(
      voltrane::QuotedStr(DatabaseType(), strTable + ":" + strNumber)));
  CloseRecordset(rs);
  return true;
}

bool ReferenceData::AutoPartCreate(const std::string& strPartNumber, int32_t& lPartID,
                                   dbaccess::Variant& vPartTypeID, int32_t lMachineID,
                                   std::string& strError) {
  try {
    if (!GetBoolOption(kOptCreateParts)) return false;
    // Without option 7 the caller's part type stays (the -1 of a failed lookup).
    int32_t lPartTypeID = KeyOrMinusOne(vPartTypeID);
    GetNumOption(kOptPartType, lPartTypeID);
    vPartTypeID = lPartTypeID;
    dbaccess::RecordsetPtr rs =
        OpenQuery("select PART_TYPE_ID from T_SFC_PART_TYPE where PART_TYPE_ID =" +
                  std::to_string(lPartTypeID));
    const bool bKnownType = !rs->Eof();
    CloseRecordset(rs);
    if (!bKnownType) {
      strError = kInvalidPartType;
      return false;
    }
    std::string strRev;
    GetStringOption(kOptPartRev, strRev);
    const std::string strNumber = UpperCaseText(strPartNumber);
    if (LockCreationInGroup("T_SFC_PART", strNumber)) {
      dbaccess::Variant vFoundType;
      const int32_t lFound = GetPartIDByNumber(strPartNumber, vFoundType);
      if (lFound != -1) {
        lPartID = lFound;
        vPartTypeID = vFoundType;
        return true;
      }
    }
    lPartID = AddRowWithAsset(
        "T_SFC_PART", "PART_ID",
        {{"PART_NUMBER", strNumber}, {"PART_TYPE_ID", lPartTypeID}, {"REV", strRev}}, kTablePart);
    WriteAddedHistory(lPartID, kTablePart, "Part", strNumber, lMachineID);
    return true;
  } catch (...) {
    ReportCaughtError(strError);
    return false;
  }
}

bool ReferenceData::AutoOpCreate(const std::string& strOpNumber, int32_t& lOpID, int32_t lMachineID,
                                 std::string& strError) {
  try {
    if (!GetBoolOption(kOptCreateOps)) return false;
    std::string strRev;
    GetStringOption(kOptOpRev, strRev);
    const std::string strNumber = UpperCaseText(strOpNumber);
    if (LockCreationInGroup("T_SFC_OP", strNumber)) {
      const int32_t lFound = GetOpIDByNumber(strOpNumber);
      if (lFound != -1) {
        lOpID = lFound;
        return true;
      }
    }
    lOpID =
        AddRowWithAsset("T_SFC_OP", "OP_ID", {{"OP_NUMBER", strNumber}, {"REV", strRev}}, kTableOp);
    WriteAddedHistory(lOpID, kTableOp, "Op", strNumber, lMachineID);
    return true;
  } catch (...) {
    ReportCaughtError(strError);
    return false;
  }
}

JobCreation ReferenceData::AutoJobCreate(const dbaccess::DateTime& dtTimeStamp,
                                         const std::string& strJobNumber, int32_t& lJobID,
                                         int32_t lMachineID, std::string& strError,
                                         int32_t& lPartID) {
  try {
    if (!GetBoolOption(kOptCreateJobs)) return JobCreation::kNotCreated;
    if (lPartID == -1) {
      const std::string strPartID =
          GetScalarText(MachineCurrentPartQuery(DatabaseType(), lMachineID));
      lPartID = strPartID.empty() ? -1 : dbaccess::Variant(strPartID).ToLong();
    }
    if (lPartID < 1) {
      strError = kNoCurrentPart;
      return JobCreation::kNoCurrentPart;
    }
    int32_t lStatus = 0;
    GetIntOption(kOptJobStatus, lStatus);
    const std::string strNumber = UpperCaseText(strJobNumber);
    if (LockCreationInGroup("T_SFC_JOB", strNumber)) {
      const int32_t lFound = GetJobIDByNumber(strJobNumber);
      if (lFound != -1) {
        lJobID = lFound;
        return JobCreation::kCreated;
      }
    }
    lJobID = AddRowWithAsset("T_SFC_JOB", "JOB_ID",
                             {{"JOB_NUMBER", strNumber},
                              {"STATUS_CODE", lStatus},
                              {"TARGET_START", dtTimeStamp},
                              {"TARGET_STOP", dtTimeStamp.DatePart()}},
                             kTableJob);

    dbaccess::RecordsetPtr rs =
        OpenQuery("select * from T_SFC_PART_PER_JOB where PART_PER_JOB_ID = 0", true);
    rs->AddNew();
    rs->Fields("JOB_ID") = lJobID;
    rs->Fields("PART_ID") = lPartID;
    rs->Fields("TARGET_QTY") = 1;
    rs->Fields("ORDINAL") = 0;
    rs->Update();
    CloseRecordset(rs);

    WriteAddedHistory(lJobID, kTableJob, "Job", strNumber, lMachineID);
    return JobCreation::kCreated;
  } catch (...) {
    ReportCaughtError(strError);
    return JobCreation::kNotCreated;
  }
}

}  // namespace korvex7::internal
