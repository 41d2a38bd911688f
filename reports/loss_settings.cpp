#include "reports/loss_settings.h"

#include <algorithm>
#include <string>

#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"

namespace reports {

namespace {

constexpr int kReportsAppCode = 3;
constexpr int kMicroStopSecondsCode = 1;
constexpr int kChangeoverIsPlannedCode = 2;
constexpr int kBooleanType = 0;
constexpr int kNumberType = 1;

bool HasValue(const dbaccess::Variant& value) { return !value.IsNull() && !value.IsEmpty(); }

// Sets one option row's value column, adding the row when there is none.
void WriteOption(const dbaccess::ConnectionPtr& connection, int code, int type,
                 const std::string& column, int64_t value) {
  const std::string where = " where APP_CODE = " + std::to_string(kReportsAppCode) +
                            " and OPTION_CODE = " + std::to_string(code);
  const int64_t updated = connection->Execute("update T_SFC_OPTION set " + column + " = " +
                                              std::to_string(value) + where);
  if (updated > 0) return;
  connection->Execute("insert into T_SFC_OPTION (APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, " +
                      column + ") values (" + std::to_string(kReportsAppCode) + ", " +
                      std::to_string(code) + ", " + std::to_string(type) + ", " +
                      std::to_string(value) + ")");
}

}  // namespace

LossSettings ReadLossSettings(const dbaccess::ConnectionPtr& connection, int32_t kind) {
  LossSettings settings;
  dbaccess::Recordset rs;
  rs.Open("select OPTION_CODE, BOOL_VAL, NUM_VAL from T_SFC_OPTION " + voltrane::NoLockHint(kind) +
              " where APP_CODE = " + std::to_string(kReportsAppCode),
          connection);
  for (; !rs.Eof(); rs.MoveNext()) {
    const int64_t code = rs.Fields("OPTION_CODE").Value().ToInt64();
    const dbaccess::Variant& number = rs.Fields("NUM_VAL").Value();
    const dbaccess::Variant& flag = rs.Fields("BOOL_VAL").Value();
    if (code == kMicroStopSecondsCode && HasValue(number)) {
      settings.micro_stop_seconds = std::max<int32_t>(0, static_cast<int32_t>(number.ToInt64()));
    }
    if (code == kChangeoverIsPlannedCode && HasValue(flag)) {
      settings.changeover_is_planned = flag.ToInt64() != 0;
    }
  }
  return settings;
}

void WriteLossSettings(const dbaccess::ConnectionPtr& connection, int32_t /*kind*/,
                       const LossSettings& settings) {
  connection->BeginTrans();
  try {
    WriteOption(connection, kMicroStopSecondsCode, kNumberType, "NUM_VAL",
                settings.micro_stop_seconds);
    WriteOption(connection, kChangeoverIsPlannedCode, kBooleanType, "BOOL_VAL",
                settings.changeover_is_planned ? 1 : 0);
    connection->CommitTrans();
  } catch (const dbaccess::DbError&) {
    connection->RollbackTrans();
    throw;
  }
}

}  // namespace reports
