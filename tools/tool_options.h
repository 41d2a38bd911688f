// The korvex7 tool's global options: which database to use. Either both
// --connection and --dbtype are given, or neither, and the database is then
// the one the collector service is configured for in the settings store.
#ifndef VOLTRANE_TOOLS_TOOL_OPTIONS_H_
#define VOLTRANE_TOOLS_TOOL_OPTIONS_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

struct ToolOptions {
  std::string connection_string;
  std::string database_type_name;
};

struct DatabaseChoice {
  std::string connection_string;  // stored form: credentials may be enciphered
  int32_t database_type = -1;
};

void AddGlobalOptions(CLI::App& app, ToolOptions& options);

// The database named by the options, or by the settings store when the
// options name none. False with a message for the user when there is none.
bool ChooseDatabase(const ToolOptions& options, DatabaseChoice& choice, std::string& message);

#endif  // VOLTRANE_TOOLS_TOOL_OPTIONS_H_
