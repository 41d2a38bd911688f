// The manager's recordset helpers and option rows.
#include "manager/manager_database.h"

#include "dbaccess/db_error.h"
#include "dbaccess/sql_dialect.h"

namespace voltrane::manager {
namespace {

constexpr const char* kOptionSelect = "select * from T_SFC_OPTION where APP_CODE = 2";

std::string OptionRead(const char* column, int32_t code) {
  return std::string("Select ") + column +
         " from T_SFC_OPTION where APP_CODE = 2 and OPTION_CODE = " + std::to_string(code);
}

}  // namespace

ManagerDatabase::ManagerDatabase(CDatabaseConnectionObj& connection, WizardPrompts& prompts,
                                 TraceSink trace)
    : connection_(connection), prompts_(prompts), trace_(std::move(trace)) {}

void ManagerDatabase::Trace(const std::string& line) const {
  if (trace_) trace_(line);
}

bool ManagerDatabase::Reconnect() {
  int32_t keep_kind = -1;
  return connection_.Connect(keep_kind);
}

void ManagerDatabase::ReconnectOrRaise() {
  for (;;) {
    if (!prompts_.AskRetryCancel(connection_.ErrDescription())) {
      throw dbaccess::DbError(connection_.error_number_value(), connection_.ErrDescription(),
                              "modDBAssist");
    }
    if (Reconnect()) return;
  }
}

dbaccess::ConnectionPtr ManagerDatabase::RSInitialize() {
  dbaccess::ConnectionPtr bound = connection_.GetADOConnection();
  if (bound && bound->IsOpen()) return bound;
  Trace("RSInitialize Error:Operation is not allowed when the object is closed. #3704");
  if (Reconnect()) {
    Trace("Handled successfully");
  } else {
    ReconnectOrRaise();
  }
  return connection_.GetADOConnection();
}

void ManagerDatabase::RsOpen(dbaccess::Recordset& rs, const std::string& sql, bool reconnect) {
  std::string& pending = builder_state_->pending_statement;
  if (!pending.empty()) {
    std::string error;
    int32_t affected = 0;
    if (!connection_.DoSQL(pending, error, affected))
      throw dbaccess::DbError(-1, error, "RsOpen Special");
    pending.clear();
  }
  for (;;) {
    Trace("OpenRecordset(" + sql + ")");
    try {
      rs.Open(sql, RSInitialize());
      return;
    } catch (const dbaccess::DbError& error) {
      Trace("RSOpen Error:" + error.description() + " #" + std::to_string(error.number()));
      if (!reconnect || connection_.IsConnected()) throw;
    }
    if (Reconnect()) {
      Trace("Handled successfully");
    } else {
      ReconnectOrRaise();
    }
  }
}

void ManagerDatabase::RsClose(dbaccess::RecordsetPtr& rs) {
  if (rs && rs->IsOpen()) {
    if (!rs->Bof() && !rs->Eof() && rs->EditPending()) rs->CancelUpdate();
    rs->Close();
  }
  rs.reset();
}

dbaccess::RecordsetPtr ManagerDatabase::GetRecordset(const std::string& sql, bool server_side) {
  auto rs = std::make_shared<dbaccess::Recordset>();
  if (server_side && DialectOf(builder_state_->database_kind).long_columns_server_cursor)
    rs->SetCursorLocation(dbaccess::CursorLocation::kServer);
  RsOpen(*rs, sql, true);
  return rs;
}

std::string ManagerDatabase::GetFieldText(const std::string& sql, size_t field) {
  dbaccess::RecordsetPtr rs;
  std::string text;
  try {
    rs = GetRecordset(sql);
    if (!rs->Eof() && field < rs->FieldCount() && !rs->Fields(field).Value().IsNull())
      text = rs->Fields(field).Value().ToText();
  } catch (const dbaccess::DbError&) {
    text.clear();
  }
  RsClose(rs);
  return text;
}

dbaccess::RecordsetPtr ManagerDatabase::CopyRecordset(dbaccess::Recordset& source) {
  auto copy = std::make_shared<dbaccess::Recordset>();
  for (dbaccess::ColumnInfo column : source.Columns()) {
    column.nullable = true;
    copy->AppendField(column);
  }
  copy->OpenUnconnected();
  if (source.RecordCount() == 0) return copy;
  for (source.MoveFirst(); !source.Eof(); source.MoveNext()) {
    copy->AddNew();
    for (size_t i = 0; i < source.FieldCount(); ++i) {
      const dbaccess::Variant& value = source.Fields(i).Value();
      if (!value.IsNull()) copy->Fields(i) = value;
    }
    copy->Update();
  }
  return copy;
}

bool ManagerDatabase::UpdateDBOption(int32_t code, int32_t type, const char* column,
                                     const dbaccess::Variant& value) {
  dbaccess::RecordsetPtr rs;
  try {
    rs = GetRecordset(std::string(kOptionSelect) + " and OPTION_CODE = " + std::to_string(code));
    if (rs->Eof()) rs->AddNew();
    rs->Fields("APP_CODE") = 2;
    rs->Fields("OPTION_CODE") = code;
    rs->Fields("OPTION_TYPE_CODE") = type;
    rs->Fields(column) = value;
    rs->Update();
    RsClose(rs);
    return true;
  } catch (const dbaccess::DbError& error) {
    Trace("UpdateDBOption " + std::to_string(code) + " failed: " + error.description());
    RsClose(rs);
    return false;
  }
}

bool ManagerDatabase::UpdateDBOptionBool(int32_t code, int32_t value) {
  return UpdateDBOption(code, 0, "BOOL_VAL", static_cast<int16_t>(value));
}

bool ManagerDatabase::UpdateDBOptionNum(int32_t code, int32_t value) {
  return UpdateDBOption(code, 1, "NUM_VAL", value);
}

bool ManagerDatabase::UpdateDBOptionStr(int32_t code, const std::string& value) {
  return UpdateDBOption(code, 2, "STRING_VAL", value);
}

bool ManagerDatabase::ReadDBOptionBool(int32_t code) {
  const std::optional<int64_t> value = ReadDBOptionNumber("BOOL_VAL", code);
  return value && *value != 0;
}

std::optional<int64_t> ManagerDatabase::ReadDBOptionNumber(const char* column, int32_t code) {
  const std::string text = GetFieldText(OptionRead(column, code), 0);
  if (text.empty()) return std::nullopt;
  try {
    return dbaccess::Variant(text).ToInt64();
  } catch (const dbaccess::DbError&) {
    return std::nullopt;
  }
}

std::optional<int32_t> ManagerDatabase::ReadDBOptionNum(int32_t code) {
  const std::optional<int64_t> value = ReadDBOptionNumber("NUM_VAL", code);
  if (!value || *value < INT32_MIN || *value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(*value);
}

std::optional<int32_t> ManagerDatabase::ReadDBOptionInt(int32_t code) {
  const std::optional<int64_t> value = ReadDBOptionNumber("BOOL_VAL", code);
  if (!value || *value < INT16_MIN || *value > INT16_MAX) return std::nullopt;
  return static_cast<int32_t>(*value);
}

std::optional<std::string> ManagerDatabase::ReadDBOptionStr(int32_t code) {
  dbaccess::RecordsetPtr rs;
  std::optional<std::string> text;
  try {
    rs = GetRecordset(OptionRead("STRING_VAL", code));
    text = "";
    if (!rs->Eof() && !rs->Fields(size_t{0}).Value().IsNull())
      text = rs->Fields(size_t{0}).Value().ToText();
  } catch (const dbaccess::DbError&) {
    text.reset();
  }
  RsClose(rs);
  return text;
}

bool ManagerDatabase::UpdateDB(const std::string& table, int32_t id, const std::string& column,
                               const std::string& value) {
  std::string error;
  int32_t affected = 0;
  return connection_.DoSQL("Update T_SFC_" + table + " set " + column + " = " + value + " where " +
                               table + "_ID" + " = " + std::to_string(id),
                           error, affected);
}

}  // namespace voltrane::manager
