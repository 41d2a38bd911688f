// The manager's command-line keywords: -DBTYPE, -DATABASE, -DATABASEUSER,
// -DATABASEPASSWORD and -DATABASESERVER, each followed by one blank and a
// value (to the next blank, or between double quotes). Keywords are found in
// the upper-cased line; the value keeps its own letter case. The keyword
// followed by a blank is what tells -DATABASE from the longer ones.
#ifndef VOLTRANE_MANAGER_COMMAND_LINE_VALUES_H_
#define VOLTRANE_MANAGER_COMMAND_LINE_VALUES_H_

#include <string>
#include <vector>

namespace voltrane::manager {

struct CommandLineValues {
  std::string db_type;
  std::string database;
  std::string database_user;
  std::string database_password;
  std::string database_server;
};

CommandLineValues ReadCommandLineValues(const std::string& command_line);

// The arguments joined by blanks, those holding a blank in double quotes, so
// that a value given as one shell word reads back whole.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_COMMAND_LINE_VALUES_H_
