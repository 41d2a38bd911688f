// Whether a table or index of the library's own exists on the connected
// database. Access answers from the provider's table and index lists; every
// other kind from a catalogue query (schema_statements.h). Any failure reads
// as "does not exist": the caller then tries to create the object and
// reports that statement's error instead.
#include <algorithm>
#include <string>
#include <vector>

#include "dbaccess/dialect.h"
#include "library/korvex7_obj.h"
#include "library/schema/schema_statements.h"

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

bool CKorvex7Obj::TableExists(const std::string& strTableName) {
  if (m_lDatabaseType == voltrane::dbkind::kAccess) {
    try {
      return Contains(m_oConnection->backend().TableNames(), strTableName);
    } catch (...) {
      return false;
    }
  }
  return GetScalarText(GetTableExistsSQL(m_lDatabaseType, strTableName)) == strTableName;
}

bool CKorvex7Obj::IndexExists(const std::string& strTable, const std::string& strColumn) {
  if (m_lDatabaseType == voltrane::dbkind::kAccess) {
    try {
      return Contains(m_oConnection->backend().IndexNames(""), GetIndexName(strTable, strColumn));
    } catch (...) {
      return false;
    }
  }
  return GetScalarText(GetIndexExistsSQL(m_lDatabaseType, strTable, strColumn)) == "1";
}
