// CKorvex7Obj: the facade. Each public operation is one call of the
// component that owns it; the VBS twins are in scripting_twins.cpp.
#include "library/korvex7_obj.h"

#include "library/components.h"
#include "library/session/extended_error_log.h"

// The facade hands every operation to the library's internals.
using namespace korvex7::internal;

CKorvex7Obj::CKorvex7Obj(std::shared_ptr<dbaccess::Clock> clock)
    : components_(std::make_unique<Components>(std::move(clock))) {}

// The log processor, ending with the components, commits what it processed.
CKorvex7Obj::~CKorvex7Obj() { WriteExtendedErrorLog("Korvex7 Terminate"); }

bool CKorvex7Obj::IsConnected() { return components_->log.IsConnected(); }

bool CKorvex7Obj::ConnectToDatabase(const std::string& strConnectionString, int32_t lDatabaseType,
                                    std::string& strError) {
  return components_->session.ConnectToDatabase(strConnectionString, lDatabaseType, strError);
}

bool CKorvex7Obj::AppendItemToMDCLog(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                                     int32_t lMachineID, int32_t lCommandID,
                                     const std::string& strParam, int32_t lCommandTimeCode,
                                     std::string& strError) {
  return components_->intake.AppendItemToMDCLog(lDeptID, lLocationID, lGroupID, lMachineID,
                                                lCommandID, strParam, lCommandTimeCode, strError);
}

bool CKorvex7Obj::AppendItemToMDCLogDNC(int32_t lDeptVoltraneID, int32_t lLocationVoltraneID,
                                        int32_t lGroupVoltraneID, int32_t lMachineVoltraneID,
                                        int32_t lCommandVoltraneID, const std::string& strParam,
                                        int32_t lCommandTimeCode, std::string& strError) {
  return components_->intake.AppendItemToMDCLogDNC(
      lDeptVoltraneID, lLocationVoltraneID, lGroupVoltraneID, lMachineVoltraneID,
      lCommandVoltraneID, strParam, lCommandTimeCode, strError);
}

bool CKorvex7Obj::DoNextItemFromMDCLog(std::string& strError) {
  return components_->log.DoNextItemFromMDCLog(strError);
}

bool CKorvex7Obj::GetLastFailedLogItem(Korvex7FailedLogItem& item) {
  return components_->log.GetLastFailedLogItem(item);
}

bool CKorvex7Obj::CommitProcessedItems(std::string& strError) {
  return components_->log.CommitProcessedItems(strError);
}

korvex7::AppendResult CKorvex7Obj::AppendCommand(const korvex7::Command& command) {
  return components_->intake.AppendCommand(command);
}

korvex7::ItemOutcome CKorvex7Obj::GetLastItemOutcome() {
  return components_->log.LastItemOutcome();
}

void CKorvex7Obj::TakeProcessingReport(Korvex7ProcessingReport& report) {
  components_->log.TakeProcessingReport(report);
}

void CKorvex7Obj::SetGroupMember(const std::string& strGroup, const std::string& strMember) {
  components_->log.SetGroupMember(strGroup, strMember);
}

int32_t CKorvex7Obj::GetMDCLogCount() { return components_->log.GetMDCLogCount(); }

void CKorvex7Obj::CompleteMachineDataRecord(int32_t lMachineDataID) {
  components_->records.CompleteMachineDataRecord(lMachineDataID);
}

std::string CKorvex7Obj::GetConnectionString() {
  return components_->session.GetConnectionString();
}

bool CKorvex7Obj::AppendItemToMDCLog2(const std::string& strMachineNumber, int32_t lCommandTypeCode,
                                      const std::string& strParam, int32_t lCommandTimeCode,
                                      std::string& strError) {
  return components_->intake.AppendItemToMDCLog2(strMachineNumber, lCommandTypeCode, strParam,
                                                 lCommandTimeCode, strError);
}

std::string CKorvex7Obj::CastToNumeric(std::string& strColExpression) {
  return components_->session.CastToNumeric(strColExpression);
}

bool CKorvex7Obj::DoPreProcessCustomCommands(std::string& strError, bool& bCleanStart) {
  return components_->handlers.events.DoPreProcessCustomCommands(strError, bCleanStart);
}

void CKorvex7Obj::InstallStoredProcedures(std::string& strError) {
  components_->schema.InstallStoredProcedures(strError);
}

void CKorvex7Obj::CheckAndFixMachines(std::string& strError) {
  components_->schema.CheckAndFixMachines(strError);
}

void CKorvex7Obj::StartupDatabaseChecksAndUpdates(std::string& strError) {
  components_->schema.StartupDatabaseChecksAndUpdates(strError);
}

int32_t CKorvex7Obj::DatabaseType() const { return components_->session.DatabaseType(); }
