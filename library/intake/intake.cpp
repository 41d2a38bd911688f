// Log intake: the append operations that queue one command as one row of
// T_SFC_MDC_LOG, naming the machine and command by internal keys
// (AppendItemToMDCLog), by machine number and type code (AppendItemToMDCLog2)
// or by the outside DNC keys (AppendItemToMDCLogDNC).
//
// Each append is one insert that joins the machine's group and location and
// takes the database's clock, so all writers share one clock; it runs without
// a transaction and is retried for about 90 seconds while the database
// refuses it (locks, a lost connection). By number, on SQLite and
// PostgreSQL, the insert also finds the machine and command; the separate
// lookups only run when it inserts nothing. On PostgreSQL the inserts are
// prepared once per session, so the server does not plan their joins at
// every append. What can never succeed is refused
// before any statement: a time code outside 0 to 2 and a parameter longer
// than PARAM1 holds. Texts reach the database only as quoted literals.
// Failures are returned in strError, never thrown.
#include "library/intake/intake.h"

#include <charconv>
#include <functional>
#include <string>
#include <vector>

#include "dbaccess/dialect.h"
#include "dbaccess/sql_dialect.h"
#include "library/intake/intake_sql.h"
#include "library/korvex7_commands.h"
#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kRefreshRequest = -1;

// The reason a row with these values cannot be stored, or "" when it can.
std::string RejectedRowText(const std::string& strParam, int32_t lCommandTimeCode) {
  const auto refusal = korvex7::CheckCommandValues(lCommandTimeCode, strParam);
  return refusal ? refusal->text : "";
}

// Runs one statement with its parameters on a connection: the rows it
// changed, or false. Writes `logged` to the extended error log in place of a
// text with parameters, so the log shows the values.
using BoundExecutor =
    std::function<bool(const std::string& sql, const std::vector<dbaccess::Variant>& params,
                       int32_t& lRecordsAffected)>;

BoundExecutor ExecutorOn(const dbaccess::ConnectionPtr& connection, const std::string& logged) {
  return [&connection, &logged](const std::string& sql,
                                const std::vector<dbaccess::Variant>& params, int32_t& affected) {
    WriteExtendedErrorLog(params.empty() ? sql : logged);
    try {
      affected = static_cast<int32_t>(connection->Execute(sql, params));
      return true;
    } catch (...) {
      return false;
    }
  };
}

// Runs the insert `form` with `values` as a statement the database plans
// once per connection: on SQLite with bound parameters (the connection keeps
// it prepared); on PostgreSQL as the EXECUTE of a statement prepared in the
// server session, preparing it first when the session does not have it yet
// (a new connection, one after a reconnect). False when it did not run, and
// on the other kinds; the caller then takes the plain statement.
bool RunPrepared(int32_t kind, const BoundExecutor& run, IntakeForm form,
                 const std::vector<dbaccess::Variant>& values, int32_t& lRecordsAffected) {
  const voltrane::PlannedInserts planned = voltrane::DialectOf(kind).planned_inserts;
  if (planned == voltrane::PlannedInserts::kBoundParameters) {
    return run(ParameterizedLogInsertStatement(form, kind), values, lRecordsAffected);
  }
  if (planned != voltrane::PlannedInserts::kSessionPrepare) return false;
  const std::string execute = ExecuteLogInsertStatement(form, values);
  if (run(execute, {}, lRecordsAffected)) return true;
  int32_t lPrepared = 0;
  return run(PrepareLogInsertStatement(form), {}, lPrepared) && run(execute, {}, lRecordsAffected);
}

bool ParseKey(const std::string& text, int32_t& key) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), key);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool Intake::AppendItemToMDCLog(int32_t /*lDeptID*/, int32_t /*lLocationID*/, int32_t /*lGroupID*/,
                                int32_t lMachineID, int32_t lCommandID, const std::string& strParam,
                                int32_t lCommandTimeCode, std::string& strError) {
  strError = RejectedRowText(strParam, lCommandTimeCode);
  if (!strError.empty()) return false;
  // A refresh request is redundant while the machine has rows waiting:
  // processing them refreshes its status anyway.
  if (lCommandID == kRefreshRequest && CountLogRowsForMachine(lMachineID)) return true;
  const std::string command = lCommandID == kRefreshRequest ? "null" : std::to_string(lCommandID);
  const std::string sql = LogInsertStatement(DatabaseType(), command, lCommandTimeCode, strParam,
                                             "m.MACHINE_ID = " + std::to_string(lMachineID));
  const dbaccess::Variant command_value = lCommandID == kRefreshRequest
                                              ? dbaccess::Variant(dbaccess::Variant::NullTag{})
                                              : dbaccess::Variant(lCommandID);
  int32_t lRecordsAffected = 0;
  if (RunPrepared(DatabaseType(), ExecutorOn(connection(), sql), IntakeForm::kByKey,
                  IntakeValues(lMachineID, command_value, lCommandTimeCode, strParam),
                  lRecordsAffected)) {
    return true;
  }
  return ExecuteWithRetry(sql, strError, lRecordsAffected);
}

bool Intake::AppendItemToMDCLogDNC(int32_t /*lDeptVoltraneID*/, int32_t /*lLocationVoltraneID*/,
                                   int32_t /*lGroupVoltraneID*/, int32_t lMachineVoltraneID,
                                   int32_t lCommandVoltraneID, const std::string& strParam,
                                   int32_t lCommandTimeCode, std::string& strError) {
  strError = RejectedRowText(strParam, lCommandTimeCode);
  if (!strError.empty()) return false;
  if (lCommandVoltraneID == kRefreshRequest &&
      CountLogRowsForMachine(GetMachineIDForVoltraneID(lMachineVoltraneID))) {
    return true;
  }
  // An outside key that matches no command gives a null COMMAND_ID, which
  // the processing loop treats as a refresh request.
  const std::string command =
      lCommandVoltraneID == kRefreshRequest
          ? "null"
          : "(select COMMAND_ID from T_SFC_COMMAND " + voltrane::NoLockHint(DatabaseType()) +
                " where VOLTRANE_ID =" + std::to_string(lCommandVoltraneID) + ")";
  const std::string sql =
      LogInsertStatement(DatabaseType(), command, lCommandTimeCode, strParam,
                         "m.VOLTRANE_ID = " + std::to_string(lMachineVoltraneID));
  int32_t lRecordsAffected = 0;
  // A refresh request keeps its plain statement: it has no command to find.
  if (lCommandVoltraneID != kRefreshRequest &&
      RunPrepared(DatabaseType(), ExecutorOn(connection(), sql), IntakeForm::kByOutsideKey,
                  IntakeValues(lMachineVoltraneID, lCommandVoltraneID, lCommandTimeCode, strParam),
                  lRecordsAffected)) {
    return true;
  }
  return ExecuteWithRetry(sql, strError, lRecordsAffected);
}

bool Intake::AppendItemToMDCLog2(const std::string& strMachineNumber, int32_t lCommandTypeCode,
                                 const std::string& strParam, int32_t lCommandTimeCode,
                                 std::string& strError) {
  korvex7::Refusal ignored = korvex7::Refusal::kNone;
  return AppendByNumber(strMachineNumber, lCommandTypeCode, strParam, lCommandTimeCode, strError,
                        ignored);
}

bool Intake::AppendByNumber(const std::string& strMachineNumber, int32_t lCommandTypeCode,
                            const std::string& strParam, int32_t lCommandTimeCode,
                            std::string& strError, korvex7::Refusal& refusal) {
  refusal = korvex7::Refusal::kNone;
  if (const auto refused = korvex7::CheckCommandValues(lCommandTimeCode, strParam)) {
    refusal = refused->reason;
    strError = refused->text;
    return false;
  }
  strError.clear();
  {
    // One statement in the usual case (MACHINE_NUMBER is unique, so it is
    // one row). Nothing inserted, or a failure, takes the lookups below,
    // which give the error texts, skip a machine without group and retry the
    // insert as before.
    const std::string logged = LogInsertByNumberStatement(
        DatabaseType(), strMachineNumber, lCommandTypeCode, lCommandTimeCode, strParam);
    int32_t lRecordsAffected = 0;
    if (RunPrepared(DatabaseType(), ExecutorOn(connection(), logged), IntakeForm::kByNumber,
                    IntakeValues(strMachineNumber, lCommandTypeCode, lCommandTimeCode, strParam),
                    lRecordsAffected) &&
        lRecordsAffected > 0) {
      return true;
    }
  }
  std::string step = "looking up machine id";
  try {
    const std::string hint = voltrane::NoLockHint(DatabaseType());
    int32_t lMachineID = 0;
    const std::string machine =
        GetScalarText("select MACHINE_ID from T_SFC_MACHINE " + hint + " where MACHINE_NUMBER = " +
                      voltrane::QuotedStr(DatabaseType(), strMachineNumber));
    if (machine.empty()) {
      const korvex7::CommandRefusal refused = korvex7::NoSuchMachineRefusal(strMachineNumber);
      refusal = refused.reason;
      strError = refused.text;
      return false;
    }
    if (!ParseKey(machine, lMachineID)) {
      strError = step + " - MACHINE_ID is not a key: " + machine;
      return false;
    }

    step = "looking up dept, location and group ids";
    int32_t lDeptID = 0;
    int32_t lLocationID = 0;
    int32_t lGroupID = 0;
    // The keys only travel with the call: the insert joins the hierarchy
    // itself, and inserts nothing for a machine without group or location.
    GetMachineHierarchy(lMachineID, lDeptID, lLocationID, lGroupID);

    step = "looking up CommandID";
    int32_t lCommandID = 0;
    const std::string command =
        GetScalarText("select COMMAND_ID from T_SFC_COMMAND " + hint +
                      " where COMMAND_TYPE_CODE = " + std::to_string(lCommandTypeCode));
    if (command.empty()) {
      const korvex7::CommandRefusal refused = korvex7::NoSuchCommandTypeRefusal(lCommandTypeCode);
      refusal = refused.reason;
      strError = refused.text;
      return false;
    }
    if (!ParseKey(command, lCommandID)) {
      strError = step + " - COMMAND_ID is not a key: " + command;
      return false;
    }
    return AppendItemToMDCLog(lDeptID, lLocationID, lGroupID, lMachineID, lCommandID, strParam,
                              lCommandTimeCode, strError);
  } catch (...) {
    strError = step + " - " + CurrentError().description;
    return false;
  }
}

korvex7::AppendResult Intake::AppendCommand(const korvex7::Command& command) {
  std::string strError;
  if (!command.time && command.client_id.empty()) {
    korvex7::Refusal refusal = korvex7::Refusal::kNone;
    if (AppendByNumber(command.machine_number, command.type_code, command.param,
                       command.time_code, strError, refusal)) {
      return korvex7::AppendResult::Appended();
    }
    if (refusal != korvex7::Refusal::kNone) {
      return korvex7::AppendResult::Refused({refusal, strError});
    }
    return korvex7::AppendResult::Failed(strError);
  }
  // A command with its own time or a client id: the writer's one statement
  // (or transaction) with the id, without the retries of the plain appends.
  try {
    if (!writer_ || writer_connection_ != connection()) {
      writer_connection_ = connection();
      // An operator's or a terminal's time: checked against the database's
      // clock and what the machine has recorded.
      writer_ = std::make_unique<korvex7::LogRowWriter>(writer_connection_, DatabaseType(),
                                                        korvex7::TimeRule::kChecked);
    }
    WriteExtendedErrorLog("AppendCommand for machine " + command.machine_number);
    return writer_->Append(command);
  } catch (...) {
    const ErrorInfo error = CurrentError();
    return korvex7::AppendResult::Failed(FormatErrorText(error.number, error.description));
  }
}

}  // namespace korvex7::internal
