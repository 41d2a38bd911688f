// Creation statements and existence queries for the library's own schema
// objects; see schema_statements.h.
#include "library/schema/schema_statements.h"

#include "dbaccess/sql_dialect.h"

namespace korvex7::internal {

namespace {

constexpr size_t kShortNameLength = 10;
constexpr size_t kOracleNameLength = 30;

// A kind without column types has no schema statements.
bool HasSchema(const voltrane::Dialect& dialect) { return dialect.column_types[0][0] != '\0'; }

// A catalogue name as a plain text literal: the names are the library's own
// constants, and a catalogue compares them without the N prefix of texts.
std::string Quoted(const std::string& name) { return "'" + name + "'"; }

// The Oracle trigger that draws the key from the sequence on insert and keeps
// it on update, on one line.
std::string OracleKeyTrigger(const std::string& table) {
  const std::string key = table + "_ID";
  return "CREATE TRIGGER " + GetTriggerName(table) + " BEFORE INSERT OR UPDATE ON T_SFC_" + table +
         " FOR EACH ROW" + " BEGIN " + "  IF INSERTING THEN " + "    SELECT S_SFC_" + table +
         ".NEXTVAL INTO :NEW." + key + " FROM DUAL;" + "  ELSE " + "    :NEW." + key + " := :OLD." +
         key + ";" + "  END IF;" + " END;";
}

}  // namespace

std::string GetColumnTypeName(int32_t lDatabaseType, int32_t lColumnKind) {
  const voltrane::Dialect& dialect = voltrane::DialectOf(lDatabaseType);
  if (lColumnKind < 0 || lColumnKind >= static_cast<int32_t>(dialect.column_types.size())) {
    return "";
  }
  return dialect.column_types[static_cast<size_t>(lColumnKind)];
}

std::string ShortenName(const std::string& strName) {
  if (strName.size() <= kShortNameLength) return strName;
  const size_t first_break = strName.find('_');
  if (first_break == std::string::npos) {
    return strName.substr(0, 2) + "_" + strName.substr(strName.size() - 2);
  }
  std::string result = strName.substr(0, std::min<size_t>(first_break, 2)) + "_";
  size_t start = first_break + 1;
  while (true) {
    const size_t end = strName.find('_', start);
    const size_t length = (end == std::string::npos ? strName.size() : end) - start;
    result += strName.substr(start, std::min<size_t>(length, 2));
    if (end == std::string::npos) return result;
    start = end + 1;
  }
}

std::string GetIndexName(const std::string& strTable, const std::string& strColumn) {
  return "K_SFC_" + ShortenName(strTable + "_" + strColumn);
}

std::string GetTriggerName(const std::string& strTable) {
  return ("TR_SFC_" + strTable).substr(0, kOracleNameLength);
}

std::string GetTableExistsSQL(int32_t lDatabaseType, const std::string& strTableName) {
  return voltrane::DialectOf(lDatabaseType).TableExistsQuery(Quoted(strTableName));
}

std::string GetIndexExistsSQL(int32_t lDatabaseType, const std::string& strTable,
                              const std::string& strColumn) {
  return voltrane::DialectOf(lDatabaseType).IndexExistsQuery(
      Quoted(GetIndexName(strTable, strColumn)));
}

std::string GetCreateIndexSQL(int32_t lDatabaseType, const std::string& strTable,
                              const std::string& strKeyColumn, const std::string& strExtraColumn) {
  const voltrane::Dialect& dialect = voltrane::DialectOf(lDatabaseType);
  if (!HasSchema(dialect)) return "";
  std::string sql = std::string("CREATE ") + (dialect.index_includes ? "NONCLUSTERED " : "") +
                    "INDEX " + GetIndexName(strTable, strKeyColumn) + " ON T_SFC_" + strTable;
  if (dialect.index_includes) {
    sql += " (" + strKeyColumn + ")";
    if (!strExtraColumn.empty()) sql += " INCLUDE (" + strExtraColumn + ")";
  } else {
    sql += " (" + strKeyColumn;
    if (!strExtraColumn.empty()) sql += "," + strExtraColumn;
    sql += ")";
  }
  return sql;
}

void AddCreateTableStatements(int32_t lDatabaseType, std::vector<std::string>& statements,
                              const std::string& strTable, const std::string& strColumnText) {
  const voltrane::Dialect& dialect = voltrane::DialectOf(lDatabaseType);
  if (!HasSchema(dialect)) return;
  statements.push_back("CREATE TABLE T_SFC_" + strTable + " (" + strTable + "_ID " +
                       GetColumnTypeName(lDatabaseType, columnkind::kIdentityKey) + strColumnText);
  if (!dialect.sequence_keys) return;
  statements.push_back("CREATE SEQUENCE S_SFC_" + strTable + " INCREMENT BY 1 START WITH 1");
  statements.push_back(OracleKeyTrigger(strTable));
}

}  // namespace korvex7::internal
