// DatabaseConfiguration: what the collector service needs to connect, read
// from the machine hive's key `Software\Voltrane\MDCService`.
//
// ReadConfiguration is read again at every connection attempt, so a change the
// manager makes is picked up at the next attempt. It reads the hive once, as a
// snapshot, and writes only the record it is given. The connection string
// stays as stored, credentials enciphered; the library deciphers it.
#ifndef VOLTRANE_DBACCESS_DATABASE_CONFIGURATION_H_
#define VOLTRANE_DBACCESS_DATABASE_CONFIGURATION_H_

#include <cstdint>
#include <optional>
#include <string>

namespace voltrane {

// The failure of a value that is there but cannot be used (unknown kind, wrong type).
inline constexpr int32_t kConfigurationInvalid = 161;

struct DatabaseConfiguration {
  int32_t database_type = -1;  // 0 Oracle, 1 Access, 2 SQL Server, 3 SQLite, 4 PostgreSQL
  std::string connection_string;
  int32_t idle_timeout_ms = 3000;
  // The collector group this collector takes part in ("" when it is no member) and its
  // member name there (the computer's name unless the store names one).
  std::string group_name;
  std::string group_member;
  // Why a value that is there cannot be used, for the report; "" otherwise.
  std::string problem;
};

// The kind named "Oracle", "Access", "SQLServer", "SQLite" or "PostgreSQL", any case.
std::optional<int32_t> DatabaseKindFromName(const std::string& name);

// Fills `config` from the settings store. Returns 0, or: the registry code of opening the
// key (2 when the hive or key is missing, 5 unreadable, 1009 damaged); 2 when "DatabaseType"
// is missing; 161 when it is not a known kind or its connection string is missing or not
// text (database_type is then -1). "Timeout" is taken only when it is a DWORD; otherwise
// the previous idle timeout stays. "GroupName" and "GroupMember" are text: missing or "" means
// no group and the computer's name; any other type is 161 (database_type -1, `problem` says
// which value).
int32_t ReadConfiguration(DatabaseConfiguration& config);

}  // namespace voltrane

#endif  // VOLTRANE_DBACCESS_DATABASE_CONFIGURATION_H_
