#include "library/intake/intake_sql.h"

#include "dbaccess/dialect.h"
#include "dbaccess/sql_dialect.h"

namespace korvex7::internal {

std::string NoLockHint2(int32_t kind) { return voltrane::DialectOf(kind).SpacedTableHint(); }

namespace {

// The head of every insert into the log, up to its column list's end.
std::string LogInsertHead(const char* closing) {
  return std::string(
             "INSERT INTO T_SFC_MDC_LOG (COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, "
             "MACHINE_ID, COMMAND_TIME_CODE, TIME_STAMP, PARAM1") +
         closing;
}

// The insert of one log row, its values as expressions; `more_tables` joins
// further tables after the machine, its group and its location.
std::string LogInsert(int32_t kind, const std::string& command_expression,
                      const std::string& time_code_expression, const std::string& param_expression,
                      const std::string& more_tables, const std::string& machine_condition,
                      const std::string& time_expression) {
  const std::string hint = voltrane::NoLockHint(kind);
  return LogInsertHead(") select ") + command_expression +
         " as COMMAND_ID, l.DEPT_ID, g.LOCATION_ID, m.GROUP_ID, m.MACHINE_ID, " +
         time_code_expression + " as COMMAND_TIME_CODE, " + time_expression +
         " as TIME_STAMP, " + param_expression + " as PARAM1 from T_SFC_MACHINE m " + hint +
         ", T_SFC_GROUP g " + hint + ", T_SFC_LOCATION l " + hint + more_tables +
         " where m.group_id = g.GROUP_ID and g.LOCATION_ID = l.LOCATION_ID and " +
         machine_condition;
}

std::string ParamLiteral(int32_t kind, const std::string& strParam) {
  return strParam.empty() ? "null" : voltrane::QuotedStr(kind, strParam);
}

// The insert by number with the machine number, type code, time code and
// parameter given as expressions.
std::string InsertByNumber(int32_t kind, const std::string& machine_number,
                           const std::string& type_code, const std::string& time_code,
                           const std::string& param) {
  // The type code's command only when it is the one command of that code:
  // with several, which one the lookup would take is the database's choice.
  // A key of -1 would be a refresh request, which needs its own check.
  const std::string command =
      ", (select min(COMMAND_ID) as COMMAND_ID from T_SFC_COMMAND where COMMAND_TYPE_CODE = " +
      type_code + " having count(*) = 1) c";
  return LogInsert(kind, "c.COMMAND_ID", time_code, param, command,
                   "m.MACHINE_NUMBER = " + machine_number + " and c.COMMAND_ID <> -1",
                   voltrane::SysDateExpr(kind));
}

std::string KeyOrNull(int64_t key) { return key == -1 ? "null" : std::to_string(key); }

}  // namespace

std::string LogInsertStatement(int32_t kind, const std::string& command_expression,
                               int32_t lCommandTimeCode, const std::string& strParam,
                               const std::string& machine_condition,
                               const std::optional<dbaccess::DateTime>& time) {
  return LogInsert(kind, command_expression, std::to_string(lCommandTimeCode),
                   ParamLiteral(kind, strParam), "", machine_condition,
                   time ? voltrane::DateTimeLiteral(kind, *time) : voltrane::SysDateExpr(kind));
}

std::string LogRowsInsertStatement(int32_t kind, const std::vector<korvex7::LogRow>& rows) {
  std::string sql = LogInsertHead(") VALUES ");
  for (size_t i = 0; i < rows.size(); ++i) {
    const korvex7::LogRow& row = rows[i];
    sql += (i == 0 ? "(" : ", (") + KeyOrNull(row.command_id) + ", " +
           std::to_string(row.machine.dept_id) + ", " + std::to_string(row.machine.location_id) +
           ", " + std::to_string(row.machine.group_id) + ", " +
           std::to_string(row.machine.machine_id) + ", " + std::to_string(row.time_code) + ", " +
           voltrane::DateTimeLiteral(kind, row.time) + ", " + ParamLiteral(kind, row.param) + ")";
  }
  return sql;
}

std::string ReplayLogRowStatement(int32_t kind, const korvex7::LogRow& row, int32_t lMDCLogID) {
  return LogInsertHead(" )") + "\r\n" + " VALUES (" + KeyOrNull(row.command_id) + "," +
         std::to_string(row.machine.dept_id) + "," + std::to_string(row.machine.location_id) +
         "," + std::to_string(row.machine.group_id) + "," +
         std::to_string(row.machine.machine_id) + "," + KeyOrNull(row.time_code) + "," +
         voltrane::DateTimeLiteral(kind, row.time) + ", " + voltrane::QuotedStr(kind, row.param) +
         ")" + " -- MDC_LOG_ID = " + std::to_string(lMDCLogID);
}

std::string LogInsertByNumberStatement(int32_t kind, const std::string& strMachineNumber,
                                       int32_t lCommandTypeCode, int32_t lCommandTimeCode,
                                       const std::string& strParam) {
  return InsertByNumber(kind, voltrane::QuotedStr(kind, strMachineNumber),
                        std::to_string(lCommandTypeCode), std::to_string(lCommandTimeCode),
                        ParamLiteral(kind, strParam));
}

namespace {

const char* PreparedName(IntakeForm form) {
  switch (form) {
    case IntakeForm::kByKey:
      return "korvex7_intake_by_key";
    case IntakeForm::kByNumber:
      return "korvex7_intake_by_number";
    case IntakeForm::kByOutsideKey:
      break;
  }
  return "korvex7_intake_by_outside_key";
}

}  // namespace

std::vector<dbaccess::Variant> IntakeValues(const dbaccess::Variant& machine,
                                            const dbaccess::Variant& command,
                                            int32_t lCommandTimeCode, const std::string& strParam) {
  return {machine, command, dbaccess::Variant(lCommandTimeCode),
          strParam.empty() ? dbaccess::Variant(dbaccess::Variant::NullTag{})
                           : dbaccess::Variant(strParam)};
}

std::string ParameterizedLogInsertStatement(IntakeForm form, int32_t kind) {
  const std::string marker = voltrane::DialectOf(kind).ParameterMarker();
  const std::string machine = marker + "1";
  const std::string command = marker + "2";
  const std::string time_code = marker + "3";
  const std::string param = marker + "4";
  switch (form) {
    case IntakeForm::kByKey:
      return LogInsert(kind, command, time_code, param, "", "m.MACHINE_ID = " + machine,
                       voltrane::SysDateExpr(kind));
    case IntakeForm::kByNumber:
      return InsertByNumber(kind, machine, command, time_code, param);
    case IntakeForm::kByOutsideKey:
      break;
  }
  return LogInsert(kind,
                   "(select COMMAND_ID from T_SFC_COMMAND " + voltrane::NoLockHint(kind) +
                       " where VOLTRANE_ID = " + command + ")",
                   time_code, param, "", "m.VOLTRANE_ID = " + machine, voltrane::SysDateExpr(kind));
}

std::string PrepareLogInsertStatement(IntakeForm form) {
  const char* machine_type = form == IntakeForm::kByNumber ? "varchar" : "integer";
  return std::string("PREPARE ") + PreparedName(form) + " (" + machine_type +
         ", integer, integer, varchar) AS " +
         ParameterizedLogInsertStatement(form, voltrane::dbkind::kPostgreSql);
}

std::string ExecuteLogInsertStatement(IntakeForm form,
                                      const std::vector<dbaccess::Variant>& values) {
  std::string text = std::string("EXECUTE ") + PreparedName(form) + " (";
  for (size_t i = 0; i < values.size(); ++i) {
    const dbaccess::Variant& value = values[i];
    if (i > 0) text += ", ";
    if (value.IsNull()) {
      text += "null";
    } else if (value.Type() == dbaccess::VariantType::kText) {
      text += voltrane::QuotedStr(voltrane::dbkind::kPostgreSql, value.ToText());
    } else {
      text += value.ToText();
    }
  }
  return text + ")";
}

}  // namespace korvex7::internal
