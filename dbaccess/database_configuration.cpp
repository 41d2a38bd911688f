// Reading the collector's database configuration from the settings store.
#include "dbaccess/database_configuration.h"

#include "base/ascii_case.h"
#include "dbaccess/computer_name.h"
#include "dbaccess/database_kind.h"
#include "dbaccess/sql_dialect.h"
#include "settings/reg_settings.h"

namespace voltrane {
namespace {

// The settings store names the kind as its dialect row does, in any case.
const Dialect* FindKind(const std::string& name) {
  for (int32_t k = 0; k < dbkind::kCount; ++k) {
    if (base::EqualsIgnoreCase(DialectOf(k).settings_name, name)) return &DialectOf(k);
  }
  return nullptr;
}

// A text value; "" when missing, nothing when it has another type.
std::optional<std::string> OptionalText(const CRegKey& key, const char* name) {
  if (!key.HasValue(name)) return std::string();
  return key.StringValue(name);
}

}  // namespace

std::optional<int32_t> DatabaseKindFromName(const std::string& name) {
  const Dialect* entry = FindKind(name);
  if (!entry) return std::nullopt;
  return entry->kind;
}

int32_t ReadConfiguration(DatabaseConfiguration& config) {
  config.problem.clear();
  CRegKey key;
  const int32_t opened = key.Open(RegHive::kLocalMachine, kServiceKey);
  if (opened != kRegSuccess) return opened;

  if (!key.HasValue("DatabaseType")) return kRegFileNotFound;
  const std::optional<std::string> type_name = key.StringValue("DatabaseType");
  if (!type_name) return kConfigurationInvalid;

  config.database_type = -1;
  const Dialect* kind = FindKind(*type_name);
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

  const std::optional<std::string> group = OptionalText(key, "GroupName");
  const std::optional<std::string> member = OptionalText(key, "GroupMember");
  if (!group || !member) {
    config.database_type = -1;
    config.problem = std::string("The collector setting ") + (group ? "GroupMember" : "GroupName") +
                     " of " + kServiceKey + " is not text.";
    return kConfigurationInvalid;
  }
  config.group_name = *group;
  config.group_member = *member;
  if (config.group_member.empty()) config.group_member = ComputerName();
  return kRegSuccess;
}

}  // namespace voltrane
