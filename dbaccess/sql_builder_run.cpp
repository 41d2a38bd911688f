// Running a SQLBuilder's processed statement on a connection: as a query
// that opens a recordset, or as a statement whose errors become text.
// Kept apart from the parameter processing, which needs no database.
#include <exception>

#include "dbaccess/dialect.h"
#include "dbaccess/sql_builder.h"

namespace voltrane {

dbaccess::RecordsetPtr SQLBuilder::OpenRecordset(int32_t kind, dbaccess::ConnectionPtr connection,
                                                 bool server_side) {
  auto command = SQLCommandObject();
  command->SetActiveConnection(std::move(connection));
  auto recordset = command->ExecuteQuery();
  if (kind == dbkind::kOracle && server_side) {
    recordset->SetCursorLocation(dbaccess::CursorLocation::kServer);
  }
  return recordset;
}

bool SQLBuilder::Execute(dbaccess::ConnectionPtr connection, std::string& error_text) {
  try {
    auto command = SQLCommandObject();
    command->SetActiveConnection(std::move(connection));
    command->Execute();
    return true;
  } catch (const dbaccess::DbError& error) {
    error_text = error.description();
  } catch (const std::exception& error) {
    error_text = error.what();
  }
  return false;
}

}  // namespace voltrane
