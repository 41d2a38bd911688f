#include "mtconnect/library_log_writer.h"

#include <fmt/format.h>

#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "dbaccess/mod_crypto.h"
#include "dbaccess/recordset.h"
#include "library/com_error.h"
#include "mtconnect/utc_time.h"

namespace mtconnect {

LibraryLogWriter::LibraryLogWriter(_CKorvex7Obj& object, std::string connection_string,
                                   int32_t kind, std::string machine_number)
    : object_(object),
      connection_string_(std::move(connection_string)),
      kind_(kind),
      machine_number_(std::move(machine_number)) {}

bool LibraryLogWriter::Append(const LogCommand& command, std::string& error) {
  int64_t above = 0;
  if (!HighestKey(above, error)) return false;
  try {
    if (!object_.AppendItemToMDCLog2(machine_number_, command.type_code, command.param,
                                     command.time_code, error)) {
      // Some of the library's texts begin with a blank.
      error.erase(0, error.find_first_not_of(' '));
      return false;
    }
  } catch (const ComError& failure) {
    error = fmt::format("Error # {}:{}", failure.number(), failure.description());
    return false;
  }
  return Stamp(above, command, error);
}

bool LibraryLogWriter::EnsureOpen(std::string& error) {
  if (connection_ && connection_->IsOpen()) return true;
  try {
    connection_ = std::make_shared<dbaccess::Connection>();
    connection_->Open(voltrane::DecipherConnectionString(connection_string_));
    return true;
  } catch (const dbaccess::DbError& failure) {
    connection_.reset();
    error =
        fmt::format("cannot open the database to set the row's time: {}", failure.description());
    return false;
  }
}

bool LibraryLogWriter::HighestKey(int64_t& key, std::string& error) {
  if (!EnsureOpen(error)) return false;
  try {
    dbaccess::Recordset rs;
    rs.Open("select max(MDC_LOG_ID) from T_SFC_MDC_LOG", connection_);
    const dbaccess::Variant value = rs.Eof() ? dbaccess::Variant() : rs.Fields(size_t{0}).Value();
    key = value.IsNull() || value.IsEmpty() ? 0 : value.ToInt64();
    return true;
  } catch (const dbaccess::DbError& failure) {
    connection_.reset();
    error = fmt::format("cannot read the log's highest key: {}", failure.description());
    return false;
  }
}

bool LibraryLogWriter::Stamp(int64_t above, const LogCommand& command, std::string& error) {
  const std::string sql = fmt::format(
      "UPDATE T_SFC_MDC_LOG SET TIME_STAMP = {} WHERE MDC_LOG_ID = (select min(MDC_LOG_ID) from "
      "T_SFC_MDC_LOG where MDC_LOG_ID > {} and MACHINE_ID = (select MACHINE_ID from "
      "T_SFC_MACHINE where MACHINE_NUMBER = {}))",
      voltrane::DateTimeLiteral(kind_, LocalWallClock(command.utc_ms)), above,
      voltrane::QuotedStr(kind_, machine_number_));
  try {
    if (connection_->Execute(sql) == 1) return true;
    error =
        "appended, but the row was gone before it got the observation's time (processed at once, "
        "or the machine has no group or location)";
  } catch (const dbaccess::DbError& failure) {
    connection_.reset();
    error = fmt::format("appended, but the row's time could not be set: {}", failure.description());
  }
  return false;
}

}  // namespace mtconnect
