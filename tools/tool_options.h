// The korvex7 tool's global options: which database to use. Either both
// --connection and --dbtype are given, or neither, and the database is then
// the one the collector service is configured for in the settings store.
// Subcommands that connect give up after a few seconds unless
// --wait-as-service asks them to wait as long as the collector service does.
#ifndef VOLTRANE_TOOLS_TOOL_OPTIONS_H_
#define VOLTRANE_TOOLS_TOOL_OPTIONS_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

struct ToolOptions {
  std::string connection_string;
  std::string database_type_name;
  bool wait_as_service = false;
};

struct DatabaseChoice {
  std::string connection_string;  // stored form: credentials may be enciphered
  int32_t database_type = -1;
  bool wait_as_service = false;  // wait for the database as long as the service does
};

void AddGlobalOptions(CLI::App& app, ToolOptions& options);

// The database named by the options, or by the settings store when the
// options name none. False with a message for the user when there is none.
bool ChooseDatabase(const ToolOptions& options, DatabaseChoice& choice, std::string& message);

// Opens the database once, so that a bridge named a wrong one says so at
// once (one lost later is waited for); false after writing the error to `err`.
bool DatabaseReachable(const DatabaseChoice& choice, std::ostream& err);

// Why the database does not answer, or nothing: a bridge's /readyz. One
// connection per ask.
std::optional<std::string> DatabaseSilence(const DatabaseChoice& choice);

#endif  // VOLTRANE_TOOLS_TOOL_OPTIONS_H_
