#include "library/intake/intake_sql.h"

#include "dbaccess/dialect.h"

std::string NoLockHint2(int32_t kind) {
  return kind == voltrane::dbkind::kSqlServer ? " with (NOLOCK) " : "";
}

size_t CharacterCount(const std::string& text) {
  size_t count = 0;
  for (const char c : text) {
    // Continuation bytes of a multi-byte sequence look like 10xxxxxx.
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

std::string LogInsertStatement(int32_t kind, const std::string& command_expression,
                               int32_t lCommandTimeCode, const std::string& strParam,
                               const std::string& machine_condition) {
  const std::string hint = voltrane::NoLockHint(kind);
  const std::string param = strParam.empty() ? "null" : voltrane::QuotedStr(kind, strParam);
  return "INSERT INTO T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID, "
         "COMMAND_TIME_CODE, TIME_STAMP, PARAM1) select " +
         command_expression +
         " as COMMAND_ID, l.DEPT_ID, g.LOCATION_ID, m.GROUP_ID, m.MACHINE_ID, " +
         std::to_string(lCommandTimeCode) + " as COMMAND_TIME_CODE, " +
         voltrane::SysDateExpr(kind) + " as TIME_STAMP, " + param +
         " as PARAM1 from T_SFC_MACHINE m " + hint + ", T_SFC_GROUP g " + hint +
         ", T_SFC_LOCATION l " + hint +
         " where m.group_id = g.GROUP_ID and g.LOCATION_ID = l.LOCATION_ID and " +
         machine_condition;
}
