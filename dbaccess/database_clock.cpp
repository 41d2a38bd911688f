// Reading the database clock. See database_clock.h.
#include "dbaccess/database_clock.h"

#include "dbaccess/recordset.h"
#include "dbaccess/sql_dialect.h"

namespace voltrane {

std::string DatabaseDateTimeQuery(int32_t kind) {
  const std::string now = DialectOf(kind).current_time;
  switch (kind) {
    case dbkind::kOracle:
      return "Select " + now + " from DUAL";
    // Access reads the date and the time of day as two columns.
    case dbkind::kAccess:
      return "SELECT Date() as PDATE , Time() as PTIME ";
    case dbkind::kSqlServer:
      return "select " + now + " AS PDATE ";
    case dbkind::kSqlite:
    case dbkind::kPostgreSql:
      return "select " + now + " AS PDATE";
    default:
      return "";
  }
}

std::optional<dbaccess::DateTime> GetDatabaseDateTime(int32_t kind,
                                                      const dbaccess::ConnectionPtr& connection) {
  const std::string sql = DatabaseDateTimeQuery(kind);
  if (sql.empty()) return std::nullopt;
  dbaccess::Recordset recordset;
  recordset.Open(sql, connection);
  dbaccess::DateTime date;
  dbaccess::DateTime time;
  if (kind == dbkind::kOracle) {
    date = time = recordset.Fields(size_t{0}).Value().ToDateTime();
  } else {
    date = recordset.Fields("PDATE").Value().ToDateTime();
    time = kind == dbkind::kAccess ? recordset.Fields("PTIME").Value().ToDateTime() : date;
  }
  recordset.Close();
  if (kind == dbkind::kSqlite || kind == dbkind::kPostgreSql) return date;
  return dbaccess::DateTime::FromParts(date.Year(), date.Month(), date.Day(), time.Hour(),
                                       time.Minute(), time.Second());
}

std::string GetDatabaseDateTimeText(int32_t kind, const dbaccess::ConnectionPtr& connection) {
  const auto value = GetDatabaseDateTime(kind, connection);
  return value ? value->ToText() : "";
}

}  // namespace voltrane
