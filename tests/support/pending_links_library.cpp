// TEMPORARY: minimal definitions of platform functions that other branches
// are implementing right now (variant, recordset, backends, settings store,
// cipher, connection class). They let the library's unit tests link and run
// before those land; this file is removed when the real implementations land.
// Nothing here is meant to be correct beyond what those tests exercise.
#include <fmt/format.h>
#include <toml++/toml.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "dbaccess/database_connection.h"
#include "dbaccess/db_error.h"
#include "dbaccess/mod_crypto.h"
#include "dbaccess/odbc_backend.h"
#include "dbaccess/recordset.h"
#include "dbaccess/reg_settings.h"
#include "dbaccess/sqlite_backend.h"
#include "dbaccess/variant.h"

namespace dbaccess {

VariantType Variant::Type() const { return static_cast<VariantType>(value_.index()); }

std::string Variant::ToText() const {
  switch (Type()) {
    case VariantType::kEmpty:
      return "";
    case VariantType::kNull:
      throw DbError(kErrInvalidUseOfNull, "Invalid use of Null");
    case VariantType::kInteger:
      return std::to_string(std::get<int64_t>(value_));
    case VariantType::kDouble:
      return fmt::format("{}", std::get<double>(value_));
    case VariantType::kBool:
      return std::get<bool>(value_) ? "True" : "False";
    case VariantType::kText:
      return std::get<std::string>(value_);
    case VariantType::kDateTime:
      return std::get<DateTime>(value_).ToText();
  }
  return "";
}

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::Open(const std::string& sql, ConnectionPtr connection) {
  ResultTable table = connection->backend().Query(sql, {}, connection->CommandTimeout());
  columns_ = std::move(table.columns);
  rows_ = std::move(table.rows);
  connection_ = std::move(connection);
  position_ = 0;
  open_ = true;
}

void Recordset::Close() { open_ = false; }
bool Recordset::Eof() const { return position_ >= rows_.size(); }
size_t Recordset::FieldCount() const { return columns_.size(); }
Field Recordset::Fields(size_t index) { return Field(this, index); }
void Recordset::CancelUpdate() { edit_mode_ = EditMode::kNone; }
const Variant& Field::Value() const { return owner_->rows_.at(owner_->position_).at(index_); }

std::unique_ptr<Backend> MakeSqliteBackend(const std::vector<ConnectionItem>&) {
  throw DbError(kErrProviderNotFound, kTextProviderNotFound);
}
std::unique_ptr<Backend> MakeOdbcBackend(const std::string&) {
  throw DbError(kErrProviderNotFound, kTextProviderNotFound);
}
bool OdbcDriverInstalled(const std::string&) { return false; }

}  // namespace dbaccess

namespace voltrane {

std::string HivePath(RegHive) {
  const char* path = std::getenv("VOLTRANE_MACHINE_STORE");
  return path != nullptr ? path : "/etc/voltrane/registry.toml";
}

std::string CRegSettings::GetMachineStringValue(const std::string& key_path,
                                                const std::string& value_name,
                                                const std::string& default_value) {
  try {
    toml::table root = toml::parse_file(HivePath(RegHive::kLocalMachine));
    std::string dotted;
    for (char c : key_path) dotted += (c == '\\') ? '.' : c;
    toml::node_view<toml::node> node = root.at_path(dotted)[value_name];
    if (auto text = node.value<std::string>(); text && node.is_string()) return *text;
  } catch (...) {
  }
  return default_value;
}

std::string CryptCredential(int direction, int key_role, const std::string& text) {
  const std::string key = key_role == kUserNameKeyRole ? kUserNameKey : kPasswordKey;
  std::string out;
  if (direction == kEncipher) {
    for (size_t i = 0; i < text.size(); ++i) {
      out += fmt::format("{:02X}", static_cast<unsigned char>(text[i] ^ key[i % key.size()]));
    }
  } else {
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
      const int value = std::stoi(text.substr(i, 2), nullptr, 16);
      out += static_cast<char>(value ^ key[(i / 2) % key.size()]);
    }
  }
  return out;
}

int NextConnectionStringPair(int start, const std::string& c, std::string& key,
                             std::string& value) {
  const size_t s = static_cast<size_t>(start - 1);
  size_t end = c.find(';', s);
  if (end == std::string::npos) {
    if (s >= c.size()) return 0;
    end = c.size();
  }
  const std::string item = c.substr(s, end - s);
  const size_t equals = item.find('=');
  if (equals == std::string::npos) {
    key = item;
    value = "";
    return -1;
  }
  key = item.substr(0, equals);
  value = item.substr(equals + 1);
  if (end + 1 >= c.size()) return -1;
  return static_cast<int>(end) + 2;
}

std::string DecipherConnectionString(const std::string& stored) {
  std::string out;
  int start = 1;
  while (start > 0) {
    std::string key, value;
    start = NextConnectionStringPair(start, stored, key, value);
    if (start == 0) break;
    if (key == "eUser ID" || key == "eUID") {
      key = key.substr(1);
      value = CryptCredential(kDecipher, kUserNameKeyRole, value);
    } else if (key == "ePassword" || key == "ePWD") {
      key = key.substr(1);
      value = CryptCredential(kDecipher, kPasswordKeyRole, value);
    }
    out += key + (value.empty() ? "" : "=" + value) + ";";
  }
  return out.empty() ? ";" : out;
}

std::string DatabaseLabelText(int32_t id) {
  switch (id) {
    case 830:
      return "Oracle: ";
    case 831:
      return "Microsoft Access:";
    case 832:
      return "SQL Server: ";
    default:
      return "";
  }
}

std::string DbTypeString(int32_t database_type) {
  switch (database_type) {
    case 0:
      return "ORACLE";
    case 1:
      return "ACCESS";
    case 2:
      return "SQLSERVER";
    case 3:
      return "SQLITE";
    case 4:
      return "POSTGRESQL";
    default:
      return "";
  }
}

CDatabaseConnectionObj::CDatabaseConnectionObj(TraceSink trace, MessageTextLookup message_text,
                                               std::shared_ptr<dbaccess::Clock> clock)
    : trace_(std::move(trace)),
      message_text_(std::move(message_text)),
      clock_(std::move(clock)),
      connection_(std::make_shared<dbaccess::Connection>()) {}

CDatabaseConnectionObj::~CDatabaseConnectionObj() = default;

std::string CDatabaseConnectionObj::errNumber() const { return std::to_string(err_number_); }

bool CDatabaseConnectionObj::IsConnected() { return connection_ && connection_->IsOpen(); }

void CDatabaseConnectionObj::Disconnect() { connection_->Close(); }

bool CDatabaseConnectionObj::Connect(int32_t& database_type) {
  database_type_ = database_type;
  connection_string_ = "Provider=" + SQLProvider + ";Data Source=" + SQLServerServer;
  if (!SQLServerDatabaseName.empty())
    connection_string_ += ";Initial Catalog=" + SQLServerDatabaseName;
  if (!SQLServerUserName.empty()) connection_string_ += ";User ID=" + SQLServerUserName;
  if (!SQLServerPassword.empty()) connection_string_ += ";Password=" + SQLServerPassword;
  connection_string_ += ";";
  connection_ = std::make_shared<dbaccess::Connection>();
  try {
    connection_->Open(connection_string_);
    return true;
  } catch (const dbaccess::DbError& error) {
    err_number_ = error.number();
    err_description_ = error.description();
    return false;
  }
}

}  // namespace voltrane
