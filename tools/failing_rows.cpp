#include "tools/failing_rows.h"

#include <fmt/format.h>

#include <string>

#include "dbaccess/connection.h"
#include "dbaccess/db_error.h"
#include "cipher/mod_crypto.h"
#include "dbaccess/recordset.h"

namespace {

constexpr const char* kFailingRowsQuery =
    "select f.MDC_LOG_ID, m.MACHINE_NUMBER, c.COMMAND_NAME, f.COMMAND_TIME_CODE, f.ATTEMPTS, "
    "f.LAST_ATTEMPT, f.ERROR_TEXT from T_SFC_MDC_LOG_FAILURE f "
    "inner join T_SFC_MDC_LOG l on l.MDC_LOG_ID = f.MDC_LOG_ID "
    "left join T_SFC_MACHINE m on m.MACHINE_ID = f.MACHINE_ID "
    "left join T_SFC_COMMAND c on c.COMMAND_ID = f.COMMAND_ID "
    "order by f.MDC_LOG_ID";

std::string Text(dbaccess::Recordset& rs, size_t column) {
  const dbaccess::Variant value = rs.Fields(column).Value();
  return value.IsNull() ? std::string() : value.ToText();
}

// One line per row: a driver's text may span lines.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

std::string CommandText(const std::string& name, const std::string& time_code) {
  if (name.empty()) return "refresh";
  if (time_code == "0") return name + " start";
  if (time_code == "1") return name + " end";
  if (time_code == "2") return name + " start and end";
  return name;
}

}  // namespace

int RunListFailingRows(const DatabaseChoice& choice, std::ostream& out, std::ostream& err) {
  dbaccess::Connection connection;
  dbaccess::Recordset rs;
  try {
    connection.Open(voltrane::DecipherConnectionString(choice.connection_string));
    rs.Open(kFailingRowsQuery, {&connection, [](dbaccess::Connection*) {}});
  } catch (const dbaccess::DbError& error) {
    if (error.number() == dbaccess::kErrTableNotFound) {
      out << "No row of the MDC log has failed.\n";
      return 0;
    }
    err << fmt::format("Could not read the failed rows: Error # {}:{}\n", error.number(),
                       error.description());
    return 1;
  }
  int rows = 0;
  for (; !rs.Eof(); rs.MoveNext(), ++rows) {
    if (rows == 0) {
      out << fmt::format("{:>10}  {:<10}  {:<24}  {:>8}  {:<23}  {}\n", "MDC_LOG_ID", "machine",
                         "command", "attempts", "last attempt", "last error");
    }
    out << fmt::format("{:>10}  {:<10}  {:<24}  {:>8}  {:<23}  {}\n", Text(rs, 0), Text(rs, 1),
                       CommandText(Text(rs, 2), Text(rs, 3)), Text(rs, 4), Text(rs, 5),
                       OneLine(Text(rs, 6)));
  }
  if (rows == 0) out << "No row waiting in the MDC log has failed.\n";
  return 0;
}
