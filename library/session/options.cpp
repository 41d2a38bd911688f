// Reading and writing the processing options: rows of T_SFC_OPTION with
// application code 2, one per option code, holding a boolean, a number or a
// text. A missing row and a null value both read as "" (GetScalarText).
#include <string>

#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "library/session/session.h"

namespace korvex7::internal {

namespace {

constexpr const char* kAppCode = "2";

}  // namespace

bool Session::GetBoolOption(int32_t lOptionCode) {
  const std::string text =
      GetScalarText("Select BOOL_VAL from T_SFC_OPTION " + voltrane::NoLockHint(m_lDatabaseType) +
                    "where APP_CODE = " + kAppCode + " and OPTION_CODE = " +
                    std::to_string(lOptionCode));
  // A value that is not a number raises, as the callers' error handling expects.
  return !text.empty() && dbaccess::Variant(text).ToLong() != 0;
}

bool Session::GetIntOption(int32_t lOptionCode, int32_t& lValue) {
  lValue = 0;
  // The small enumerations (options 4, 5, 10) are kept in BOOL_VAL.
  const std::string text =
      GetScalarText("Select BOOL_VAL from T_SFC_OPTION " + voltrane::NoLockHint(m_lDatabaseType) +
                    "where APP_CODE = " + kAppCode + " and OPTION_CODE = " +
                    std::to_string(lOptionCode));
  try {
    const int64_t value = dbaccess::Variant(text).ToInt64();
    if (text.empty() || value < INT16_MIN || value > INT16_MAX) return false;
    lValue = static_cast<int32_t>(value);
    return true;
  } catch (const dbaccess::DbError&) {
    return false;
  }
}

bool Session::GetStringOption(int32_t lOptionCode, std::string& strValue) {
  strValue = GetScalarText("Select STRING_VAL from T_SFC_OPTION " +
                           voltrane::NoLockHint(m_lDatabaseType) + "where APP_CODE = " + kAppCode +
                           " and OPTION_CODE = " + std::to_string(lOptionCode));
  return true;
}

bool Session::GetNumOption(int32_t lOptionCode, int32_t& lValue) {
  const std::string text =
      GetScalarText("Select NUM_VAL from T_SFC_OPTION " + voltrane::NoLockHint(m_lDatabaseType) +
                    " where APP_CODE = " + kAppCode + " and OPTION_CODE = " +
                    std::to_string(lOptionCode));
  if (text.empty()) return true;
  try {
    lValue = dbaccess::Variant(text).ToLong();
    return true;
  } catch (const dbaccess::DbError&) {
    return false;
  }
}

bool Session::SetStringOption(int32_t lOptionCode, const std::string& strValue) {
  dbaccess::RecordsetPtr rs;
  try {
    rs = OpenQuery("select * from T_SFC_OPTION where APP_CODE = " + std::string(kAppCode) +
                       " and OPTION_CODE = " + std::to_string(lOptionCode),
                   true);
    if (rs->Eof()) rs->AddNew();
    rs->Fields("APP_CODE") = 2;
    rs->Fields("OPTION_CODE") = lOptionCode;
    rs->Fields("OPTION_TYPE_CODE") = 2;
    rs->Fields("STRING_VAL") = strValue;
    rs->Update();
    CloseRecordset(rs);
    return true;
  } catch (const dbaccess::DbError&) {
    CloseRecordset(rs);
    return false;
  }
}

}  // namespace korvex7::internal
