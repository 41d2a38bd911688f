// The public interface of the machine data library, libkorvex7.so.
//
// `_CKorvex7Obj` lists the library object's operations in the slot order of
// its interface; clients create the object through the factory below by
// ProgID ("Korvex7.CKorvex7Obj") or CLSID, asking for the current interface
// id or either earlier one, and release it with Korvex7ReleaseObject.
// `_CKorvex7Obj2` extends the interface without moving a slot of it: an
// object created for kKorvex7Obj2InterfaceId is a `_CKorvex7Obj2`, so the
// pointer the factory hands back may be static_cast to it; a library that
// predates it answers that id with 0x80004002 (no such interface). The same
// holds for `_CKorvex7Obj3` and kKorvex7Obj3InterfaceId, and for
// `_CKorvex7Obj4` and kKorvex7Obj4InterfaceId, and for `_CKorvex7Obj5` and
// kKorvex7Obj5InterfaceId. An
// object is used by the thread that created it. Operations with a strError
// argument report failures as text there and return false; the others let an
// unexpected failure escape as ComError (see com_error.h).
#ifndef VOLTRANE_LIBRARY_KORVEX7_H_
#define VOLTRANE_LIBRARY_KORVEX7_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dbaccess/variant.h"
#include "library/export.h"
#include "library/korvex7_commands.h"

class _CKorvex7Obj {
 public:
  virtual bool IsConnected() = 0;
  virtual bool ConnectToDatabase(const std::string& strConnectionString, int32_t lDatabaseType,
                                 std::string& strError) = 0;
  virtual bool AppendItemToMDCLog(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                                  int32_t lMachineID, int32_t lCommandID,
                                  const std::string& strParam, int32_t lCommandTimeCode,
                                  std::string& strError) = 0;
  virtual bool AppendItemToMDCLogDNC(int32_t lDeptVoltraneID, int32_t lLocationVoltraneID,
                                     int32_t lGroupVoltraneID, int32_t lMachineVoltraneID,
                                     int32_t lCommandVoltraneID, const std::string& strParam,
                                     int32_t lCommandTimeCode, std::string& strError) = 0;
  virtual bool DoNextItemFromMDCLog(std::string& strError) = 0;
  virtual int32_t GetMDCLogCount() = 0;
  virtual void CompleteMachineDataRecord(int32_t lMachineDataID) = 0;
  virtual std::string GetConnectionString() = 0;
  virtual bool ConnectToDatabaseVBS(const std::string& strConnectionString, int32_t lDatabaseType,
                                    dbaccess::Variant& strError) = 0;
  virtual bool AppendItemToMDCLog2VBS(const std::string& strMachineNumber, int32_t lCommandTypeCode,
                                      const std::string& strParam, int32_t lCommandTimeCode,
                                      dbaccess::Variant& strError) = 0;
  virtual bool AppendItemToMDCLog2(const std::string& strMachineNumber, int32_t lCommandTypeCode,
                                   const std::string& strParam, int32_t lCommandTimeCode,
                                   std::string& strError) = 0;
  virtual bool AppendItemToMDCLogVBS(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                                     int32_t lMachineID, int32_t lCommandID,
                                     const std::string& strParam, int32_t lCommandTimeCode,
                                     dbaccess::Variant& strError) = 0;
  virtual std::string CastToNumeric(std::string& strColExpression) = 0;
  virtual bool DoPreProcessCustomCommands(std::string& strError, bool& bCleanStart) = 0;
  virtual void InstallStoredProcedures(std::string& strError) = 0;
  virtual void CheckAndFixMachines(std::string& strError) = 0;
  virtual void StartupDatabaseChecksAndUpdates(std::string& strError) = 0;

  virtual ~_CKorvex7Obj() = default;
};

// The log row a DoNextItemFromMDCLog call failed on. A failing row stays in
// the log and is tried again at every refill; lAttempts counts its failed
// attempts, earlier runs included, so a caller can tell a new failure from an
// old one.
struct Korvex7FailedLogItem {
  int32_t lMDCLogID = -1;
  int32_t lMachineID = -1;
  std::string strMachineNumber;   // "" when the machine is not known
  int32_t lCommandID = -1;        // -1: a refresh request
  std::string strCommandName;     // "" when the command is not known
  int32_t lCommandTimeCode = -1;  // 0 start, 1 end, 2 both; -1 none
  std::string strError;           // the text DoNextItemFromMDCLog returned
  int32_t lAttempts = 0;          // 0 when the record of failed rows could not be read
};

class _CKorvex7Obj2 : public _CKorvex7Obj {
 public:
  // True with the row the last DoNextItemFromMDCLog call failed on; false
  // when that call processed a row, found the log empty, or failed for a
  // reason that is no row's (connection, startup checks, a row removed as
  // out of order). Never throws.
  virtual bool GetLastFailedLogItem(Korvex7FailedLogItem& item) = 0;
  // Commits the rows processed so far, which the library otherwise commits
  // in batches, so a caller that pauses holds no transaction. True when there
  // was nothing to commit or the commit succeeded; false with the text
  // otherwise (the batch's rows are then read again). Never throws.
  virtual bool CommitProcessedItems(std::string& strError) = 0;
};

// The command vocabulary's operations (korvex7_commands.h), answered for
// kKorvex7Obj3InterfaceId: outcomes as values, so that no caller reads them
// from a text.
class _CKorvex7Obj3 : public _CKorvex7Obj2 {
 public:
  // Appends one command named by machine number and type code. With neither
  // a time nor a client id it is AppendItemToMDCLog2 (the database's time,
  // the same retries); with a time the row carries it, refused when it lies
  // more than 5 seconds after the database's time or before the machine's
  // latest row or record; with a client id the id is kept with the row and
  // a command whose id was appended before appends nothing (kDuplicate).
  // Never throws: a database failure is kFailed with its text.
  virtual korvex7::AppendResult AppendCommand(const korvex7::Command& command) = 0;
  // What the last DoNextItemFromMDCLog call did; kNoProgress before any
  // call and when that call let a failure escape. Never throws.
  virtual korvex7::ItemOutcome GetLastItemOutcome() = 0;
};

// What the processing did since the caller last asked (_CKorvex7Obj4), for
// the collector's metrics. Rows count when they run: a batch whose commit
// fails runs its rows again and counts them again.
struct Korvex7ProcessingReport {
  std::map<int32_t, int64_t> processed;  // rows that left the log, by COMMAND_ID (-1 refresh)
  std::map<int32_t, int64_t> failed;     // failed attempts at a row, by COMMAND_ID
  std::vector<double> commit_seconds;    // each batch commit that succeeded, its duration
};

// The processing report, answered for kKorvex7Obj4InterfaceId.
class _CKorvex7Obj4 : public _CKorvex7Obj3 {
 public:
  // Moves what was counted since the last call into `report` (replacing
  // its contents) and starts counting afresh. Never throws.
  virtual void TakeProcessingReport(Korvex7ProcessingReport& report) = 0;
};

// Group mode, answered for kKorvex7Obj5InterfaceId: several collectors share
// one server database's log, each machine's rows processed by the member
// that holds its partition's lease.
class _CKorvex7Obj5 : public _CKorvex7Obj4 {
 public:
  // Takes part in the collector group `strGroup` ("" for whatever group the
  // database names) as member `strMember`; "" as the member leaves group
  // mode. Called before the first DoNextItemFromMDCLog; a later call takes
  // effect at the next one. Never throws.
  virtual void SetGroupMember(const std::string& strGroup, const std::string& strMember) = 0;
};

inline constexpr const char* kKorvex7ProgId = "Korvex7.CKorvex7Obj";
inline constexpr const char* kKorvex7Clsid = "{A09D7A08-B28E-40B1-8E1B-01D5F54B6DBA}";
inline constexpr const char* kKorvex7InterfaceId = "{8C2DA5BA-37FE-4C30-B6C3-4DE2978B3C82}";
inline constexpr const char* kKorvex7InterfaceIdV0 = "{C94F4CD5-FBDF-439A-A79A-73836F5DA334}";
inline constexpr const char* kKorvex7InterfaceIdV1 = "{799E3C02-5E1E-414F-97FE-27B330BF6E70}";
inline constexpr const char* kKorvex7Obj2InterfaceId = "{5B1F3E6A-2D47-4C8B-9A61-E0C4D8B27F15}";
inline constexpr const char* kKorvex7Obj3InterfaceId = "{E3A7C915-6B2D-4F08-8C4E-71D9B05A3F62}";
inline constexpr const char* kKorvex7Obj4InterfaceId = "{4D2B8E71-9C3A-4F56-B1E0-6A7F2C95D813}";
inline constexpr const char* kKorvex7Obj5InterfaceId = "{9A61C2F4-3E7B-4D85-A0C9-5B2E8F14D736}";

extern "C" {
// 0 on success; 0x80040154 (class not registered) for an unknown ProgID or
// CLSID; 0x80004002 (no such interface) for an unknown interface id;
// 0x80070057 for a null argument. Names compare without regard to case.
VOLTRANE_EXPORT int32_t Korvex7CreateObject(const char* prog_id_or_clsid, const char* interface_id,
                                            _CKorvex7Obj** object);
VOLTRANE_EXPORT void Korvex7ReleaseObject(_CKorvex7Obj* object);
}

#endif  // VOLTRANE_LIBRARY_KORVEX7_H_
