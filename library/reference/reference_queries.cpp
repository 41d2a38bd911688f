// Statement texts of the reference lookups and display texts.
#include "library/reference/reference_queries.h"

#include <string>

#include "dbaccess/dialect.h"
#include "dbaccess/sql_dialect.h"
#include "library/reference/upper_case.h"

namespace korvex7::internal {

using voltrane::ConcatLiteral;
using voltrane::IIF;
using voltrane::NoLockHint;
using voltrane::QuotedStr;
using voltrane::UCase;

namespace {

// Two reads carry their hint as a literal of their own, blanks on both sides.
std::string SpacedHint(int32_t kind) { return voltrane::DialectOf(kind).SpacedTableHint(); }

// "select <what> from <table> HINT where UCase(<column>) = '<NUMBER>'".
std::string ByUpperNumber(int32_t kind, const std::string& select_and_table,
                          const std::string& column, const std::string& number) {
  return select_and_table + " " + NoLockHint(kind) + " where " + UCase(kind, column) + " = " +
         QuotedStr(kind, UpperCaseText(number));
}

}  // namespace

std::string UserIDByNameQuery(int32_t kind, const std::string& strUserName) {
  return "select USER_ID from T_SFC_USER " + NoLockHint(kind) +
         " where USER_NAME = " + QuotedStr(kind, strUserName);
}

std::string JobIDByNumberQuery(int32_t kind, const std::string& strJobNumber) {
  return ByUpperNumber(kind, "select * from T_SFC_JOB", "JOB_NUMBER", strJobNumber);
}

std::string OpIDByNumberQuery(int32_t kind, const std::string& strOpNumber) {
  return ByUpperNumber(kind, "select * from T_SFC_OP", "OP_NUMBER", strOpNumber);
}

std::string PartIDByNumberQuery(int32_t kind, const std::string& strPartNumber) {
  return ByUpperNumber(kind, "SELECT PART_ID, PART_TYPE_ID from T_SFC_PART", "PART_NUMBER",
                       strPartNumber);
}

std::string PartSerialNoIDQuery(int32_t kind, int32_t lPartID, const std::string& strSerialNo) {
  return "SELECT PART_SERIAL_NO_ID from T_SFC_PART_SERIAL_NO " + NoLockHint(kind) +
         " where PART_ID = " + std::to_string(lPartID) + " and " + UCase(kind, "SERIAL_NO") +
         " = " + QuotedStr(kind, UpperCaseText(strSerialNo));
}

std::string DowntimeCodeIDQuery(int32_t kind, const std::string& strCodeNumber,
                                int32_t lDowntimeType) {
  return "select DOWNTIME_CODE_ID from T_SFC_DOWNTIME_CODE " + NoLockHint(kind) +
         " where DOWNTIME_CODE_NUMBER = " + QuotedStr(kind, strCodeNumber) +
         " and DOWNTIME_TYPE_CODE IN (" + std::to_string(lDowntimeType) + "," + "2" + ")";
}

std::string ScrapCodeIDQuery(int32_t kind, const std::string& strCodeNumber) {
  return "select SCRAP_CODE_ID from T_SFC_SCRAP_CODE " + NoLockHint(kind) +
         " where SCRAP_CODE_NUMBER = " + QuotedStr(kind, strCodeNumber);
}

std::string DefaultScrapCodeNumberQuery(int32_t kind) {
  return std::string("select SCRAP_CODE_NUMBER ") + " from T_SFC_SCRAP_CODE " +
         SpacedHint(kind) + " where SCRAP_CODE_TYPE_CODE = " + "1";
}

std::string FirstPartNumberForJobQuery(int32_t kind, const std::string& strJobNumber) {
  const std::string hint = NoLockHint(kind);
  return "select T_SFC_PART.PART_NUMBER from T_SFC_PART " + hint + ", T_SFC_PART_PER_JOB " + hint +
         ", T_SFC_JOB " + hint + " where " + UCase(kind, "T_SFC_JOB.JOB_NUMBER") + " = " +
         QuotedStr(kind, UpperCaseText(strJobNumber)) +
         " and T_SFC_JOB.JOB_ID = T_SFC_PART_PER_JOB.JOB_ID " +
         " and T_SFC_PART.PART_ID = T_SFC_PART_PER_JOB.PART_ID " +
         " order by T_SFC_PART_PER_JOB.ORDINAL ";
}

std::string PartEventRowQuery(int32_t kind, int32_t lMachineID, int32_t lPartCommandID) {
  return "select * from T_SFC_MACHINE_EVENT " + SpacedHint(kind) +
         " where MACHINE_ID = " + std::to_string(lMachineID) +
         " and COMMAND_ID = " + std::to_string(lPartCommandID);
}

std::string MachineUserDisplayQuery(int32_t kind, int32_t lMachineID) {
  return "select u.USER_NAME " + ConcatLiteral(kind, " - ") + " FIRST_NAME " +
         ConcatLiteral(kind, " ") + " LAST_NAME AS NAME, u.USER_ID from T_SFC_USER u " +
         NoLockHint(kind) +
         " inner join T_SFC_MACHINE_DATA md on md.USER_ID = u.USER_ID where md.MACHINE_DATA_ID = "
         "(select MACHINE_DATA_ID from T_SFC_MACHINE where MACHINE_ID = " +
         std::to_string(lMachineID) + ")";
}

std::string JobDisplayNameQuery(int32_t kind, int32_t lJobID) {
  return "select JOB_NUMBER " + ConcatLiteral(kind, " - ") +
         IIF(kind, "JOB_NAME is NULL", "''", "JOB_NAME") + " as NAME from T_SFC_JOB " +
         NoLockHint(kind) + " WHERE JOB_ID = " + std::to_string(lJobID);
}

std::string MachineCurrentPartQuery(int32_t kind, int32_t lMachineID) {
  const std::string hint = NoLockHint(kind);
  return "select PART_ID from T_SFC_MACHINE_DATA " + hint +
         " where MACHINE_DATA_ID = (select MACHINE_DATA_ID from T_SFC_MACHINE " + hint +
         " where MACHINE_ID = " + std::to_string(lMachineID) + ")";
}

}  // namespace korvex7::internal
