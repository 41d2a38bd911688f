#include "tools/schema_init_command.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "base/ascii_case.h"
#include "dbaccess/connection.h"
#include "dbaccess/database_connection.h"
#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "cipher/mod_crypto.h"
#include "dbaccess/sql_dialect.h"
#include "dbaccess/sql_script.h"
#include "tools/schema_scripts.h"

namespace {

// What a schema script creates, names in upper case.
struct Inventory {
  std::vector<std::string> tables;
  std::vector<std::string> indexes;
};

std::vector<std::string> Matches(const std::string& script, const std::regex& pattern) {
  std::vector<std::string> names;
  for (auto it = std::sregex_iterator(script.begin(), script.end(), pattern);
       it != std::sregex_iterator(); ++it) {
    names.push_back(base::Upper((*it)[1].str()));
  }
  return names;
}

Inventory ScriptInventory(const std::string& script) {
  static const std::regex table(R"(CREATE TABLE IF NOT EXISTS (\w+))", std::regex::icase);
  static const std::regex index(R"(CREATE (?:UNIQUE )?INDEX IF NOT EXISTS (\w+))",
                                std::regex::icase);
  return {Matches(script, table), Matches(script, index)};
}

std::set<std::string> UpperSet(const std::vector<std::string>& names) {
  std::set<std::string> result;
  for (const std::string& name : names) result.insert(base::Upper(name));
  return result;
}

std::vector<std::string> Missing(const std::vector<std::string>& wanted,
                                 const std::set<std::string>& present) {
  std::vector<std::string> missing;
  for (const std::string& name : wanted) {
    if (!present.contains(name)) missing.push_back(name);
  }
  return missing;
}

std::string Counted(size_t count, const char* singular, const char* plural) {
  return fmt::format("{} {}", count, count == 1 ? singular : plural);
}

std::string Script(const char* name) {
  const char* text = EmbeddedSqlScript(name);
  if (text == nullptr)
    throw dbaccess::DbError(dbaccess::kErrInvalidArgument,
                            fmt::format("{} is not built into the tool", name));
  return text;
}

void LoadDemoPlant(dbaccess::Connection& connection, const voltrane::Dialect& dialect) {
  dbaccess::RunSqlScript(connection, Script("demo_plant.sql"));
  // PostgreSQL's key sequences must move past the demo's explicit keys.
  if (dialect.demo_plant_tail_script[0] != '\0') {
    dbaccess::RunSqlScript(connection, Script(dialect.demo_plant_tail_script));
  }
}

int CreateSchema(dbaccess::Connection& connection, const voltrane::Dialect& dialect, bool demo,
                 std::ostream& out) {
  const std::string schema = Script(dialect.schema_script);
  const Inventory wanted = ScriptInventory(schema);
  const std::set<std::string> tables = UpperSet(connection.backend().TableNames());
  const std::vector<std::string> missing_tables = Missing(wanted.tables, tables);
  const std::vector<std::string> missing_indexes =
      Missing(wanted.indexes, UpperSet(connection.backend().IndexNames("")));
  if (missing_tables.empty() && missing_indexes.empty()) {
    out << "The shop-floor schema is already in place; nothing changed.\n";
    if (demo) out << "The demo plant is loaded only into a new schema; it was not loaded.\n";
    return 0;
  }
  // A database holding none of the tables is new; only there may the demo
  // plant's fixed keys go without meeting a plant's own rows.
  const bool new_schema = missing_tables.size() == wanted.tables.size();
  connection.BeginTrans();
  try {
    dbaccess::RunSqlScript(connection, schema);
    if (demo && new_schema) LoadDemoPlant(connection, dialect);
    connection.CommitTrans();
  } catch (...) {
    if (connection.InTransaction()) connection.RollbackTrans();
    throw;
  }
  out << fmt::format("Created {} and {} of the shop-floor schema.\n",
                     Counted(missing_tables.size(), "table", "tables"),
                     Counted(missing_indexes.size(), "index", "indexes"));
  if (demo) {
    out << (new_schema ? "Loaded the demo plant.\n"
                       : "The database already held shop-floor tables, so the demo plant was "
                         "not loaded.\n");
  }
  return 0;
}

}  // namespace

CLI::App* AddSchemaInitCommand(CLI::App& app, SchemaInitOptions& options) {
  CLI::App* schema = app.add_subcommand("schema", "Work on the shop-floor schema");
  schema->require_subcommand(1);
  CLI::App* init = schema->add_subcommand(
      "init", "Create the missing shop-floor tables and indexes (SQLite and PostgreSQL)");
  init->add_flag("--demo", options.demo, "Also load the demo plant into a new schema");
  return init;
}

int RunSchemaInit(const DatabaseChoice& choice, const SchemaInitOptions& options, std::ostream& out,
                  std::ostream& err) {
  const int32_t kind = choice.database_type;
  const voltrane::Dialect& dialect = voltrane::DialectOf(kind);
  if (dialect.schema_script[0] == '\0') {
    err << "korvex7 schema init supports SQLite and PostgreSQL only. On SQL Server and Oracle "
           "run schema/sqlserver.sql or schema/oracle.sql with the server's own tools.\n";
    return 1;
  }
  const std::string kind_name = voltrane::DbTypeString(kind);
  dbaccess::Connection connection;
  try {
    connection.Open(voltrane::DecipherConnectionString(choice.connection_string));
  } catch (const dbaccess::DbError& error) {
    err << fmt::format("Could not connect to the {} database: Error # {}:{}\n", kind_name,
                       error.number(), error.description());
    return 1;
  }
  try {
    return CreateSchema(connection, dialect, options.demo, out);
  } catch (const dbaccess::DbError& error) {
    err << fmt::format("The schema could not be created; nothing changed. Error # {}:{}\n",
                       error.number(), error.description());
    return 1;
  }
}
