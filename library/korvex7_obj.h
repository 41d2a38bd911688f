// CKorvex7Obj: the machine data library object, the facade of the public
// interface _CKorvex7Obj and its extensions _CKorvex7Obj2 to _CKorvex7Obj5 (korvex7.h). One instance owns one set of
// components (components.h) over one database session; outside clients
// connect it and append commands, the collector service connects it and
// drives DoNextItemFromMDCLog. Each operation delegates to the component
// that owns it; the facade keeps no state of its own.
//
// Failures: operations with a strError argument return false with a text;
// ConnectToDatabase, GetConnectionString and the operations without strError
// let unexpected failures escape as ComError; IsConnected never fails.
// Threading: an instance is used by the thread that created it. Every wait
// goes through the injected Clock.
#ifndef VOLTRANE_LIBRARY_KORVEX7_OBJ_H_
#define VOLTRANE_LIBRARY_KORVEX7_OBJ_H_

#include <cstdint>
#include <memory>
#include <string>

#include "dbaccess/clock.h"
#include "dbaccess/variant.h"
#include "library/korvex7.h"

namespace korvex7::internal {
struct Components;
}  // namespace korvex7::internal

class CKorvex7Obj : public _CKorvex7Obj5 {
 public:
  explicit CKorvex7Obj(std::shared_ptr<dbaccess::Clock> clock = dbaccess::DefaultClock());
  ~CKorvex7Obj() override;
  CKorvex7Obj(const CKorvex7Obj&) = delete;
  CKorvex7Obj& operator=(const CKorvex7Obj&) = delete;

  bool IsConnected() override;
  bool ConnectToDatabase(const std::string& strConnectionString, int32_t lDatabaseType,
                         std::string& strError) override;
  bool AppendItemToMDCLog(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                          int32_t lMachineID, int32_t lCommandID, const std::string& strParam,
                          int32_t lCommandTimeCode, std::string& strError) override;
  bool AppendItemToMDCLogDNC(int32_t lDeptVoltraneID, int32_t lLocationVoltraneID,
                             int32_t lGroupVoltraneID, int32_t lMachineVoltraneID,
                             int32_t lCommandVoltraneID, const std::string& strParam,
                             int32_t lCommandTimeCode, std::string& strError) override;
  bool DoNextItemFromMDCLog(std::string& strError) override;
  int32_t GetMDCLogCount() override;
  void CompleteMachineDataRecord(int32_t lMachineDataID) override;
  std::string GetConnectionString() override;
  bool ConnectToDatabaseVBS(const std::string& strConnectionString, int32_t lDatabaseType,
                            dbaccess::Variant& strError) override;
  bool AppendItemToMDCLog2VBS(const std::string& strMachineNumber, int32_t lCommandTypeCode,
                              const std::string& strParam, int32_t lCommandTimeCode,
                              dbaccess::Variant& strError) override;
  bool AppendItemToMDCLog2(const std::string& strMachineNumber, int32_t lCommandTypeCode,
                           const std::string& strParam, int32_t lCommandTimeCode,
                           std::string& strError) override;
  bool AppendItemToMDCLogVBS(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                             int32_t lMachineID, int32_t lCommandID, const std::string& strParam,
                             int32_t lCommandTimeCode, dbaccess::Variant& strError) override;
  std::string CastToNumeric(std::string& strColExpression) override;
  bool DoPreProcessCustomCommands(std::string& strError, bool& bCleanStart) override;
  void InstallStoredProcedures(std::string& strError) override;
  void CheckAndFixMachines(std::string& strError) override;
  void StartupDatabaseChecksAndUpdates(std::string& strError) override;

  bool GetLastFailedLogItem(Korvex7FailedLogItem& item) override;
  bool CommitProcessedItems(std::string& strError) override;

  korvex7::AppendResult AppendCommand(const korvex7::Command& command) override;
  korvex7::ItemOutcome GetLastItemOutcome() override;

  void TakeProcessingReport(Korvex7ProcessingReport& report) override;

  void SetGroupMember(const std::string& strGroup, const std::string& strMember) override;

  // The database kind given to the last ConnectToDatabase.
  int32_t DatabaseType() const;

 private:
  std::unique_ptr<korvex7::internal::Components> components_;
};

#endif  // VOLTRANE_LIBRARY_KORVEX7_OBJ_H_
