// Single-row writes that need no read first: an insert that hands back the
// key the database generated for the new row (an autoincrement key on
// SQLite, an identity column on PostgreSQL, read from the stored row), and a
// statement with positional parameters. They replace an updatable recordset
// opened only to add a row, or to change columns of a row found by its key,
// at a statement and a recordset copy less per write. Values are bound as
// given, so callers pass them in the column's type (integers, doubles,
// date-times, texts, nulls), as a recordset's field assignment would have
// converted them. Both trace their statement and run inside the caller's
// transaction; database errors reach the caller as DbError. Processing
// thread only.
#include <string>
#include <utility>
#include <vector>

#include "base/ascii_case.h"
#include "dbaccess/db_error.h"
#include "library/records/machine_records.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

int32_t MachineRecords::InsertRowReturningKey(const std::string& strTable,
                                              const std::string& strKeyColumn,
                                              const RowValues& row) {
  std::vector<std::string> names;
  std::vector<dbaccess::Variant> values;
  for (const auto& [name, value] : row) {
    names.push_back(name);
    values.push_back(value);
  }
  WriteExtendedErrorLog("insert into " + strTable);
  const dbaccess::ResultTable stored = connection()->InsertRow(strTable, names, values);
  for (size_t i = 0; i < stored.columns.size() && !stored.rows.empty(); ++i) {
    if (base::EqualsIgnoreCase(stored.columns[i].name, strKeyColumn)) {
      return stored.rows.front()[i].ToLong();
    }
  }
  throw dbaccess::DbError(
      dbaccess::kErrCommandFailed,
      "The new row of " + strTable + " came back without its key " + strKeyColumn + ".");
}

int64_t MachineRecords::ExecuteWithParameters(const std::string& strSQL,
                                              const std::vector<dbaccess::Variant>& params) {
  WriteExtendedErrorLog(strSQL);
  return connection()->Execute(strSQL, params);
}

}  // namespace korvex7::internal
