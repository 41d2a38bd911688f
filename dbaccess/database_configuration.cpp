// Reading the collector's database configuration from the settings store.
#include "dbaccess/database_configuration.h"

#include <array>

#include "base/ascii_case.h"
#include "dbaccess/database_kind.h"
#include "settings/reg_settings.h"

namespace voltrane {
namespace {

struct KindEntry {
  const char* name;
  int32_t kind;
  const char* connection_string_value;
};

constexpr std::array<KindEntry, dbkind::kCount> kKinds{{
    {"Oracle", dbkind::kOracle, "OracleConnectionString"},
    {"Access", dbkind::kAccess, "AccessConnectionString"},
    {"SQLServer", dbkind::kSqlServer, "SQLServerConnectionString"},
    {"SQLite", dbkind::kSqlite, "SQLiteConnectionString"},
    {"PostgreSQL", dbkind::kPostgreSql, "PostgreSQLConnectionString"},
}};

const KindEntry* FindKind(const std::string& name) {
  for (const auto& entry : kKinds) {
    if (base::EqualsIgnoreCase(entry.name, name)) return &entry;
  }
  return nullptr;
}

}  // namespace

std::optional<int32_t> DatabaseKindFromName(const std::string& name) {
  const KindEntry* entry = FindKind(name);
  if (!entry) return std::nullopt;
  return entry->kind;
}

int32_t ReadConfiguration(DatabaseConfiguration& config) {
  CRegKey key;
  const int32_t opened = key.Open(RegHive::kLocalMachine, kServiceKey);
  if (opened != kRegSuccess) return opened;

  if (!key.HasValue("DatabaseType")) return kRegFileNotFound;
  const std::optional<std::string> type_name = key.StringValue("DatabaseType");
  if (!type_name) return kConfigurationInvalid;

  config.database_type = -1;
  const KindEntry* kind = FindKind(*type_name);
  if (!kind) return kConfigurationInvalid;
  config.database_type = kind->kind;

  const std::optional<std::string> connection_string =
      key.StringValue(kind->connection_string_value);
  if (!connection_string) {
    config.database_type = -1;
    return kConfigurationInvalid;
  }
  config.connection_string = *connection_string;

  if (const auto timeout = key.DWORDValue("Timeout")) config.idle_timeout_ms = *timeout;
  return kRegSuccess;
}

}  // namespace voltrane
