// The statements with which the library adds objects of its own to a
// shop-floor database (the log history table and its index are the only
// ones), and the queries that tell whether such a table or index exists, in
// the dialect of each database kind (0 Oracle, 1 Access, 2 SQL Server,
// 3 SQLite, 4 PostgreSQL).
//
// Naming, for a table name N given without its "T_SFC_" prefix: table
// "T_SFC_" + N, key column N + "_ID", Oracle sequence "S_SFC_" + N, Oracle
// trigger the first 30 characters of "TR_SFC_" + N, index on column C
// "K_SFC_" + ShortenName(N + "_" + C). Names are spliced into the statements
// as given: callers pass the library's own constant names only.
//
// Pure functions: no failure, safe from any thread. An unknown kind or column
// kind gives "".
#ifndef VOLTRANE_LIBRARY_SCHEMA_STATEMENTS_H_
#define VOLTRANE_LIBRARY_SCHEMA_STATEMENTS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace korvex7::internal {

// Column kinds of GetColumnTypeName.
namespace columnkind {
inline constexpr int32_t kReal = 0;
inline constexpr int32_t kInteger = 1;
inline constexpr int32_t kIdentityKey = 2;
inline constexpr int32_t kText50 = 3;
inline constexpr int32_t kText40 = 4;
inline constexpr int32_t kText255 = 5;
inline constexpr int32_t kText255Too = 6;
inline constexpr int32_t kLongText = 7;
inline constexpr int32_t kDateTime = 8;
}  // namespace columnkind

// The column type text of a column kind on a database kind.
std::string GetColumnTypeName(int32_t lDatabaseType, int32_t lColumnKind);

// Names of at most 10 characters unchanged; longer ones cut to two characters
// per "_"-separated piece ("MDC_LOG_HIST_MDC_LOG_ID" -> "MD_LOHIMDLOID"), or
// to the first two, "_" and the last two characters when there is no "_".
std::string ShortenName(const std::string& strName);

// "K_SFC_" + ShortenName(table + "_" + column).
std::string GetIndexName(const std::string& strTable, const std::string& strColumn);
// The first 30 characters of "TR_SFC_" + table (Oracle's name length limit).
std::string GetTriggerName(const std::string& strTable);

// A query whose first value equals strTableName exactly when the table exists.
// Not used on Access, whose check reads the provider's table list.
std::string GetTableExistsSQL(int32_t lDatabaseType, const std::string& strTableName);
// A query whose first value is exactly "1" when the index of the column
// exists; "" for Access, whose check reads the provider's index list.
std::string GetIndexExistsSQL(int32_t lDatabaseType, const std::string& strTable,
                              const std::string& strColumn);

// An index on the key column; strExtraColumn ("" for none) is a covered
// column on SQL Server and a second key column on every other kind.
std::string GetCreateIndexSQL(int32_t lDatabaseType, const std::string& strTable,
                              const std::string& strKeyColumn, const std::string& strExtraColumn);

// Appends the statements creating "T_SFC_" + strTable with its generated key
// first: one CREATE TABLE, and on Oracle the sequence and the insert trigger
// that fill the key. strColumnText supplies the other columns, each as
// "," + name + " " + type, and the closing ")". Run them in order.
void AddCreateTableStatements(int32_t lDatabaseType, std::vector<std::string>& statements,
                              const std::string& strTable, const std::string& strColumnText);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_SCHEMA_STATEMENTS_H_
