// Whether a table or index of the library's own exists on the connected
// database. Access answers from the provider's table and index lists; every
// other kind from a catalogue query (schema_statements.h). Any failure reads
// as "does not exist": the caller then tries to create the object and
// reports that statement's error instead.
#include <algorithm>
#include <string>
#include <vector>

#include "dbaccess/sql_dialect.h"
#include "library/schema/schema_maintenance.h"
#include "library/schema/schema_statements.h"

namespace korvex7::internal {

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

bool SchemaMaintenance::TableExists(const std::string& strTableName) {
  if (dialect().catalogue_from_provider) {
    try {
      return Contains(connection()->backend().TableNames(), strTableName);
    } catch (...) {
      return false;
    }
  }
  return GetScalarText(GetTableExistsSQL(DatabaseType(), strTableName)) == strTableName;
}

bool SchemaMaintenance::IndexExists(const std::string& strTable, const std::string& strColumn) {
  if (dialect().catalogue_from_provider) {
    try {
      return Contains(connection()->backend().IndexNames(""), GetIndexName(strTable, strColumn));
    } catch (...) {
      return false;
    }
  }
  return GetScalarText(GetIndexExistsSQL(DatabaseType(), strTable, strColumn)) == "1";
}

}  // namespace korvex7::internal
