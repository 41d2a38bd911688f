// `korvex7 group create NAME [--partition group|machine|location]
// [--lease-seconds N]`, `korvex7 group status` and `korvex7 group drop
// [--designate COMPUTER]`: turn a server database to a collector group's
// (option 14 = "group:NAME" and the group's tables), list its members and
// partitions (one line per partition: name, kind, key, owner or "-", lease
// age in seconds or "-", rows waiting), and turn it back to one designated
// computer, refused while a member is live. Exit 0 on success, 1 with the
// reason on `err` otherwise (an SQLite database, a group already there, no
// group, live members, a database failure).
#ifndef VOLTRANE_TOOLS_GROUP_COMMAND_H_
#define VOLTRANE_TOOLS_GROUP_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "tools/tool_options.h"

struct GroupOptions {
  std::string name;
  std::string partition = "group";
  double lease_seconds = 10.0;
  std::string designate;
};

struct GroupCommands {
  CLI::App* group = nullptr;
  CLI::App* create = nullptr;
  CLI::App* status = nullptr;
  CLI::App* drop = nullptr;
};

GroupCommands AddGroupCommands(CLI::App& app, GroupOptions& options);

int RunGroup(const DatabaseChoice& choice, const GroupCommands& commands,
             const GroupOptions& options, std::ostream& out, std::ostream& err);

#endif  // VOLTRANE_TOOLS_GROUP_COMMAND_H_
