#include "tools/tool_options.h"

#include <fmt/format.h>

#include "cipher/mod_crypto.h"
#include "dbaccess/connection.h"
#include "dbaccess/database_configuration.h"
#include "dbaccess/db_error.h"
#include "settings/reg_settings.h"

namespace {

constexpr const char* kKindNames = "Oracle, Access, SQLServer, SQLite or PostgreSQL";

}  // namespace

void AddGlobalOptions(CLI::App& app, ToolOptions& options) {
  CLI::Option* connection =
      app.add_option("--connection", options.connection_string,
                     "Connection string as the settings store holds it (credentials may be "
                     "enciphered under eUser ID / ePassword)");
  CLI::Option* dbtype =
      app.add_option("--dbtype", options.database_type_name,
                     fmt::format("Database kind: {} (any case)", kKindNames))
          ->check(CLI::Validator(
              [](std::string& name) {
                return voltrane::DatabaseKindFromName(name)
                           ? std::string()
                           : fmt::format("unknown database kind '{}' (expected {})", name,
                                         kKindNames);
              },
              "KIND"));
  app.add_flag("--wait-as-service", options.wait_as_service,
               "Wait for an unreachable database as long as the collector service does (up to 5 "
               "minutes of retries) instead of a few seconds");
  connection->needs(dbtype);
  dbtype->needs(connection);
}

bool ChooseDatabase(const ToolOptions& options, DatabaseChoice& choice, std::string& message) {
  choice.wait_as_service = options.wait_as_service;
  if (!options.database_type_name.empty()) {
    choice.connection_string = options.connection_string;
    choice.database_type = *voltrane::DatabaseKindFromName(options.database_type_name);
    return true;
  }
  voltrane::DatabaseConfiguration configuration;
  const int32_t result = voltrane::ReadConfiguration(configuration);
  if (result != 0) {
    message = fmt::format(
        "No usable database configuration in the settings store {} (error {}). Run the "
        "Collector Service Manager, or pass --connection and --dbtype.",
        voltrane::HivePath(voltrane::RegHive::kLocalMachine), result);
    return false;
  }
  choice.connection_string = configuration.connection_string;
  choice.database_type = configuration.database_type;
  return true;
}

namespace {

// The failure of one connection attempt, or nothing.
std::optional<dbaccess::DbError> ConnectionFailure(const DatabaseChoice& choice) {
  try {
    dbaccess::Connection connection;
    connection.Open(voltrane::DecipherConnectionString(choice.connection_string));
    return std::nullopt;
  } catch (const dbaccess::DbError& failure) {
    return failure;
  }
}

}  // namespace

bool DatabaseReachable(const DatabaseChoice& choice, std::ostream& err) {
  const std::optional<dbaccess::DbError> failure = ConnectionFailure(choice);
  if (!failure) return true;
  err << fmt::format("Could not connect to the database: Error # {}:{}\n", failure->number(),
                     failure->description());
  return false;
}

std::optional<std::string> DatabaseSilence(const DatabaseChoice& choice) {
  const std::optional<dbaccess::DbError> failure = ConnectionFailure(choice);
  if (!failure) return std::nullopt;
  return fmt::format("database does not answer: Error # {}:{}", failure->number(),
                     failure->description());
}
