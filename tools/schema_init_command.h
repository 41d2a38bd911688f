// `korvex7 schema init [--demo]`: creates the shop-floor tables and indexes
// that the configured database lacks, from the schema scripts compiled into
// the tool, and with --demo loads the demo plant into a new schema.
//
// Supports SQLite and PostgreSQL; other kinds are refused with a pointer to
// the schema/*.sql files that their plants run with the server's own tools.
// A database that already holds every table and index is left unchanged and
// the tool says so. The scripts run in one transaction: a failure leaves the
// database as it was. Exit code 0 on success, 1 on any failure.
#ifndef VOLTRANE_TOOLS_SCHEMA_INIT_COMMAND_H_
#define VOLTRANE_TOOLS_SCHEMA_INIT_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>

#include "tools/tool_options.h"

struct SchemaInitOptions {
  bool demo = false;
};

// Adds "schema" with its subcommand "init"; returns "init".
CLI::App* AddSchemaInitCommand(CLI::App& app, SchemaInitOptions& options);

int RunSchemaInit(const DatabaseChoice& choice, const SchemaInitOptions& options, std::ostream& out,
                  std::ostream& err);

#endif  // VOLTRANE_TOOLS_SCHEMA_INIT_COMMAND_H_
