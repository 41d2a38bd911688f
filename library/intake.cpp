// Log intake: the append operations that queue one command as one row of
// T_SFC_MDC_LOG, naming the machine and command by internal keys
// (AppendItemToMDCLog), by machine number and type code (AppendItemToMDCLog2)
// or by the outside DNC keys (AppendItemToMDCLogDNC).
//
// Each append is one insert that joins the machine's group and location and
// takes the database's clock (by number, on SQLite and PostgreSQL, it also
// finds the machine and command; the separate lookups only run when it
// inserts nothing), so all writers share one clock; it runs without
// a transaction and is retried for about 90 seconds while the database
// refuses it (locks, a lost connection). What can never succeed is refused
// before any statement: a time code outside 0 to 2 and a parameter longer
// than PARAM1 holds. Texts reach the database only as quoted literals.
// Failures are returned in strError, never thrown.
#include <fmt/format.h>

#include <charconv>
#include <functional>
#include <string>

#include "dbaccess/dialect.h"
#include "library/error_text.h"
#include "library/intake_sql.h"
#include "library/korvex7_obj.h"

namespace {

constexpr int32_t kRefreshRequest = -1;
constexpr const char* kTimeCodeMessage = " CommandTypeCode must be 0 - start, 1 - end, or 2 - both";

// The reason a row with these values cannot be stored, or "" when it can.
std::string RejectedRowText(const std::string& strParam, int32_t lCommandTimeCode) {
  if (lCommandTimeCode < 0 || lCommandTimeCode > 2) return kTimeCodeMessage;
  const size_t characters = CharacterCount(strParam);
  if (characters > kParam1Characters) {
    return fmt::format("The parameter is {} characters long; PARAM1 holds at most {}.", characters,
                       kParam1Characters);
  }
  return "";
}

// The kinds on which the intake by number is one insert that resolves the
// machine and command itself; the others look them up first.
bool ResolvesLookupsInTheInsert(int32_t kind) {
  return kind == voltrane::dbkind::kSqlite || kind == voltrane::dbkind::kPostgreSql;
}

// Runs one statement on the object's connection: the rows it changed, or false.
using Executor = std::function<bool(const std::string& sql, int32_t& lRecordsAffected)>;

// On PostgreSQL, runs `execute` of the prepared insert `form`, preparing it
// first when the session does not have it yet (a new connection, one after a
// reconnect). False when it could not run; the caller then takes the plain
// statement with its retries.
bool RunPrepared(int32_t kind, const Executor& run, IntakeForm form, const std::string& execute,
                 int32_t& lRecordsAffected) {
  if (kind != voltrane::dbkind::kPostgreSql) return false;
  if (run(execute, lRecordsAffected)) return true;
  int32_t lPrepared = 0;
  return run(PrepareLogInsertStatement(form), lPrepared) && run(execute, lRecordsAffected);
}

bool ParseKey(const std::string& text, int32_t& key) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), key);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool CKorvex7Obj::AppendItemToMDCLog(int32_t /*lDeptID*/, int32_t /*lLocationID*/,
                                     int32_t /*lGroupID*/, int32_t lMachineID, int32_t lCommandID,
                                     const std::string& strParam, int32_t lCommandTimeCode,
                                     std::string& strError) {
  strError = RejectedRowText(strParam, lCommandTimeCode);
  if (!strError.empty()) return false;
  // A refresh request is redundant while the machine has rows waiting:
  // processing them refreshes its status anyway.
  if (lCommandID == kRefreshRequest && CountLogRowsForMachine(lMachineID)) return true;
  const std::string command = lCommandID == kRefreshRequest ? "null" : std::to_string(lCommandID);
  const Executor run = [this](const std::string& sql, int32_t& affected) {
    std::string ignored;
    return ExecuteSQLCounted(sql, ignored, affected);
  };
  int32_t lRecordsAffected = 0;
  if (RunPrepared(m_lDatabaseType, run, IntakeForm::kByKey,
                  ExecuteLogInsertStatement(IntakeForm::kByKey, std::to_string(lMachineID), command,
                                            lCommandTimeCode, strParam),
                  lRecordsAffected)) {
    return true;
  }
  const std::string sql = LogInsertStatement(m_lDatabaseType, command, lCommandTimeCode, strParam,
                                             "m.MACHINE_ID = " + std::to_string(lMachineID));
  return ExecuteWithRetry(sql, strError, lRecordsAffected);
}

bool CKorvex7Obj::AppendItemToMDCLogDNC(int32_t /*lDeptVoltraneID*/,
                                        int32_t /*lLocationVoltraneID*/,
                                        int32_t /*lGroupVoltraneID*/, int32_t lMachineVoltraneID,
                                        int32_t lCommandVoltraneID, const std::string& strParam,
                                        int32_t lCommandTimeCode, std::string& strError) {
  strError = RejectedRowText(strParam, lCommandTimeCode);
  if (!strError.empty()) return false;
  if (lCommandVoltraneID == kRefreshRequest &&
      CountLogRowsForMachine(GetMachineIDForVoltraneID(lMachineVoltraneID))) {
    return true;
  }
  const Executor run = [this](const std::string& sql, int32_t& affected) {
    std::string ignored;
    return ExecuteSQLCounted(sql, ignored, affected);
  };
  int32_t lRecordsAffected = 0;
  if (lCommandVoltraneID != kRefreshRequest &&
      RunPrepared(
          m_lDatabaseType, run, IntakeForm::kByOutsideKey,
          ExecuteLogInsertStatement(IntakeForm::kByOutsideKey, std::to_string(lMachineVoltraneID),
                                    std::to_string(lCommandVoltraneID), lCommandTimeCode, strParam),
          lRecordsAffected)) {
    return true;
  }
  // An outside key that matches no command gives a null COMMAND_ID, which
  // the processing loop treats as a refresh request.
  const std::string command =
      lCommandVoltraneID == kRefreshRequest
          ? "null"
          : "(select COMMAND_ID from T_SFC_COMMAND " + voltrane::NoLockHint(m_lDatabaseType) +
                " where VOLTRANE_ID =" + std::to_string(lCommandVoltraneID) + ")";
  const std::string sql =
      LogInsertStatement(m_lDatabaseType, command, lCommandTimeCode, strParam,
                         "m.VOLTRANE_ID = " + std::to_string(lMachineVoltraneID));
  return ExecuteWithRetry(sql, strError, lRecordsAffected);
}

bool CKorvex7Obj::AppendItemToMDCLog2(const std::string& strMachineNumber, int32_t lCommandTypeCode,
                                      const std::string& strParam, int32_t lCommandTimeCode,
                                      std::string& strError) {
  strError = RejectedRowText(strParam, lCommandTimeCode);
  if (!strError.empty()) return false;
  if (ResolvesLookupsInTheInsert(m_lDatabaseType)) {
    // One statement in the usual case (MACHINE_NUMBER is unique, so it is
    // one row). Nothing inserted, or a failure, takes the lookups below,
    // which give the error texts, skip a machine without group and retry the
    // insert as before.
    const Executor run = [this](const std::string& sql, int32_t& affected) {
      std::string ignored;
      return ExecuteSQLCounted(sql, ignored, affected);
    };
    int32_t lRecordsAffected = 0;
    bool executed = RunPrepared(
        m_lDatabaseType, run, IntakeForm::kByNumber,
        ExecuteLogInsertStatement(IntakeForm::kByNumber,
                                  voltrane::QuotedStr(m_lDatabaseType, strMachineNumber),
                                  std::to_string(lCommandTypeCode), lCommandTimeCode, strParam),
        lRecordsAffected);
    if (!executed && m_lDatabaseType != voltrane::dbkind::kPostgreSql) {
      executed = run(LogInsertByNumberStatement(m_lDatabaseType, strMachineNumber, lCommandTypeCode,
                                                lCommandTimeCode, strParam),
                     lRecordsAffected);
    }
    if (executed && lRecordsAffected > 0) return true;
  }
  std::string step = "looking up machine id";
  try {
    const std::string hint = voltrane::NoLockHint(m_lDatabaseType);
    int32_t lMachineID = 0;
    const std::string machine =
        GetScalarText("select MACHINE_ID from T_SFC_MACHINE " + hint + " where MACHINE_NUMBER = " +
                      voltrane::QuotedStr(m_lDatabaseType, strMachineNumber));
    if (machine.empty()) {
      strError = "No such machine: " + strMachineNumber;
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
      strError = "No command with a COMMAND_TYPE_CODE of " + std::to_string(lCommandTypeCode);
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
