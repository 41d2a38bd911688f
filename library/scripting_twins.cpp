// The "VBS" operations: scripting clients can pass a by-reference argument
// only as a VARIANT, so each twin calls its namesake with a text error and
// stores that text into the caller's variant as a string, whatever it held.
#include "library/korvex7_obj.h"

bool CKorvex7Obj::ConnectToDatabaseVBS(const std::string& strConnectionString,
                                       int32_t lDatabaseType, dbaccess::Variant& strError) {
  std::string strText;
  const bool result = ConnectToDatabase(strConnectionString, lDatabaseType, strText);
  strError = dbaccess::Variant(strText);
  return result;
}

bool CKorvex7Obj::AppendItemToMDCLog2VBS(const std::string& strMachineNumber,
                                         int32_t lCommandTypeCode, const std::string& strParam,
                                         int32_t lCommandTimeCode, dbaccess::Variant& strError) {
  std::string strText;
  const bool result =
      AppendItemToMDCLog2(strMachineNumber, lCommandTypeCode, strParam, lCommandTimeCode, strText);
  strError = dbaccess::Variant(strText);
  return result;
}

bool CKorvex7Obj::AppendItemToMDCLogVBS(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                                        int32_t lMachineID, int32_t lCommandID,
                                        const std::string& strParam, int32_t lCommandTimeCode,
                                        dbaccess::Variant& strError) {
  std::string strText;
  const bool result = AppendItemToMDCLog(lDeptID, lLocationID, lGroupID, lMachineID, lCommandID,
                                         strParam, lCommandTimeCode, strText);
  strError = dbaccess::Variant(strText);
  return result;
}
