// Operations of the library object whose features this build does not carry
// yet: intake, the processing loop and custom-command pre-processing. Each
// fails clearly instead of pretending to
// work: operations with strError put a text naming the operation there and
// return false (or just return); the others throw ComError (E_NOTIMPL). Each
// is replaced by its feature.
#include <string>

#include "dbaccess/dialect.h"
#include "library/com_error.h"
#include "library/korvex7_obj.h"

namespace {

// E_NOTIMPL.
constexpr int32_t kErrNotImplemented = static_cast<int32_t>(0x80004001u);
constexpr const char* kSource = "Korvex7.CKorvex7Obj";

std::string NotAvailable(const std::string& operation) {
  return operation + " is not available in this build of the library.";
}

[[noreturn]] void ThrowNotAvailable(const std::string& operation) {
  throw ComError(kErrNotImplemented, std::string(kSource) + "." + operation,
                 NotAvailable(operation));
}

}  // namespace

bool CKorvex7Obj::AppendItemToMDCLog(int32_t, int32_t, int32_t, int32_t, int32_t,
                                     const std::string&, int32_t, std::string& strError) {
  strError = NotAvailable("AppendItemToMDCLog");
  return false;
}

bool CKorvex7Obj::AppendItemToMDCLogDNC(int32_t, int32_t, int32_t, int32_t, int32_t,
                                        const std::string&, int32_t, std::string& strError) {
  strError = NotAvailable("AppendItemToMDCLogDNC");
  return false;
}

bool CKorvex7Obj::AppendItemToMDCLog2(const std::string&, int32_t, const std::string&, int32_t,
                                      std::string& strError) {
  strError = NotAvailable("AppendItemToMDCLog2");
  return false;
}

bool CKorvex7Obj::DoNextItemFromMDCLog(std::string& strError) {
  strError = NotAvailable("DoNextItemFromMDCLog");
  return false;
}

int32_t CKorvex7Obj::GetMDCLogCount() { ThrowNotAvailable("GetMDCLogCount"); }

void CKorvex7Obj::CompleteMachineDataRecord(int32_t) {
  ThrowNotAvailable("CompleteMachineDataRecord");
}

bool CKorvex7Obj::DoPreProcessCustomCommands(std::string& strError, bool&) {
  strError = NotAvailable("DoPreProcessCustomCommands");
  return false;
}

// TEMPORARY stand-in for the log intake's machine hierarchy lookup, which the
// machine pointer repair needs; removed when the intake's own definition lands.
bool CKorvex7Obj::GetMachineHierarchy(int32_t lMachineID, int32_t& lDeptID, int32_t& lLocationID,
                                      int32_t& lGroupID) {
  const std::string hint = voltrane::NoLockHint(m_lDatabaseType);
  dbaccess::RecordsetPtr rs =
      OpenQuery("select m.GROUP_ID, g.LOCATION_ID, l.DEPT_ID from T_SFC_MACHINE m" + hint +
                ", T_SFC_GROUP g" + hint + ", T_SFC_LOCATION l" + hint +
                " where m.MACHINE_ID = " + std::to_string(lMachineID) +
                " and g.GROUP_ID = m.GROUP_ID and l.LOCATION_ID = g.LOCATION_ID");
  const bool found = !rs->Eof();
  if (found) {
    lDeptID = rs->Fields("DEPT_ID").Value().ToLong();
    lLocationID = rs->Fields("LOCATION_ID").Value().ToLong();
    lGroupID = rs->Fields("GROUP_ID").Value().ToLong();
  }
  CloseRecordset(rs);
  return found;
}
