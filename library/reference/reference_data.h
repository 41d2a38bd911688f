// ReferenceData: the plant's reference data as the handlers need it --
// lookups of keys by name or number, display texts, the automatic creation
// of unknown jobs, parts, operations and serial numbers, and the audit trail
// of T_SFC_HISTORY (reference_lookups.cpp, display_texts.cpp,
// auto_create.cpp, audit_history.cpp; upper_case.h and reference_queries.h
// hold its pure parts).
//
// May touch: the session; reference tables (users, jobs, parts, operations,
// serial numbers, codes, assets, history). Calls no other component.
// Lookups give -1 when nothing matches; job, operation, part and serial
// numbers are compared and stored in upper case. Lookups, GetPartSerialNoID,
// CreateAsset and WriteHistory let a database error reach the calling
// handler (DbError); the Auto...Create operations catch every error and
// report it through strError.
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_REFERENCE_REFERENCE_DATA_H_
#define VOLTRANE_LIBRARY_REFERENCE_REFERENCE_DATA_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dbaccess/date_time.h"
#include "dbaccess/variant.h"
#include "library/session/session.h"

namespace korvex7::internal {

// What AutoJobCreate did. Without any part to give the job the result is
// kNoCurrentPart (its text in strError), which the job handler takes as "the
// job stays a number", not as a failure.
enum class JobCreation { kCreated, kNotCreated, kNoCurrentPart };

class ReferenceData : public SessionClient {
 public:
  using SessionClient::SessionClient;

  int32_t GetUserIDByName(const std::string& strUserName);
  int32_t GetJobIDByNumber(const std::string& strJobNumber);
  int32_t GetOpIDByNumber(const std::string& strOpNumber);
  // vPartTypeID gets the part's PART_TYPE_ID as stored (null stays null), -1
  // when no part is found.
  int32_t GetPartIDByNumber(const std::string& strPartNumber, dbaccess::Variant& vPartTypeID);
  // Creates the serial number when it is unknown and option 6 is on.
  int32_t GetPartSerialNoID(int32_t lPartID, const std::string& strSerialNo);
  // lDowntimeType 0 (machine) or 1 (user); codes of type 2 match both.
  int32_t GetDowntimeCodeID(const std::string& strCodeNumber, int32_t lDowntimeType);
  int32_t GetScrapCodeID(const std::string& strCodeNumber);
  std::string GetDefaultScrapCodeNumber();  // "-1" when no code is the default
  std::string GetFirstPartNumberForJob(const std::string& strJobNumber);  // "" when none
  bool HasPartEventRow(int32_t lMachineID);
  // "user - first last" of the machine's current record, "<No User>" when
  // none; lUserID -1 when none.
  std::string GetMachineUserDisplay(int32_t lMachineID, int32_t& lUserID);
  std::string GetJobDisplayName(int32_t lJobID);  // "number - name", "" when none

  // True when a row was created; false when the option is off or on failure
  // (strError then holds the reason when there is one).
  bool AutoPartCreate(const std::string& strPartNumber, int32_t& lPartID,
                      dbaccess::Variant& vPartTypeID, int32_t lMachineID, std::string& strError);
  bool AutoOpCreate(const std::string& strOpNumber, int32_t& lOpID, int32_t lMachineID,
                    std::string& strError);
  // lPartID -1: the part of the machine's current record is used.
  JobCreation AutoJobCreate(const dbaccess::DateTime& dtTimeStamp, const std::string& strJobNumber,
                            int32_t& lJobID, int32_t lMachineID, std::string& strError,
                            int32_t& lPartID);
  int32_t CreateAsset(int32_t lTargetID, int32_t lTableCode);
  // Ids of -1 are written as null; lUserID -1 leaves USER_ID unset.
  void WriteHistory(int32_t lTargetID, int32_t lTableCode, int32_t lActionCode,
                    const std::string& strNotes, const std::string& strComponentName,
                    const std::string& strECN, int32_t lDeptID, int32_t lLocationID,
                    int32_t lGroupID, int32_t lMachineID, int32_t lUser2ID, int32_t lJobID,
                    int32_t lPartTypeID, int32_t lPartID, int32_t lUserID, int32_t& lHistoryID);
  // In a collector group two members may create one number at once: the
  // creation of strNumber in strTable is serialized by a transaction-level
  // advisory lock (held to the caller's commit). True when the lock was
  // taken, so the caller looks for the number again. Throws DbError.
  bool LockCreationInGroup(const std::string& strTable, const std::string& strNumber);
  // Adds one row to strTable through an updatable recordset that selects no
  // row, gives it its asset row (lTableCode) and returns the new key.
  int32_t AddRowWithAsset(const std::string& strTable, const std::string& strKeyColumn,
                          const std::vector<std::pair<std::string, dbaccess::Variant>>& columns,
                          int32_t lTableCode);
  // The "record added" history line of a created job, part or operation.
  void WriteAddedHistory(int32_t lTargetID, int32_t lTableCode, const std::string& strWhat,
                         const std::string& strNumber, int32_t lMachineID);
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_REFERENCE_REFERENCE_DATA_H_
