#include "tools/connect_command.h"

#include <fmt/format.h>

#include <string>

#include "dbaccess/database_connection.h"
#include "library/com_error.h"
#include "tools/library_object.h"

namespace {

std::string KindText(int32_t database_type) {
  const std::string name = voltrane::DbTypeString(database_type);
  return name.empty() ? fmt::format("kind {}", database_type) : name;
}

}  // namespace

CLI::App* AddConnectCommand(CLI::App& app) {
  return app.add_subcommand("connect",
                            "Connect to the database as the collector service does and probe it");
}

int RunConnect(const DatabaseChoice& choice, std::ostream& out, std::ostream& err) {
  LibraryObject object = CreateLibraryObject(err);
  if (!object) return 1;
  const std::string kind = KindText(choice.database_type);
  try {
    std::string error;
    if (!object.Connect(choice, error)) {
      err << fmt::format("Could not connect to the {} database: {}\n", kind, error);
      return 1;
    }
    if (!object->IsConnected()) {
      err << fmt::format(
          "Connected to the {} database, but it does not answer: table T_VMES_PTYPE cannot be "
          "read (is this a shop-floor database?)\n",
          kind);
      return 1;
    }
    out << fmt::format("Connected to {} database.\n", kind);
    return 0;
  } catch (const ComError& error) {
    err << fmt::format("Could not connect to the {} database: Error # {}:{}\n", kind,
                       error.number(), error.description());
    return 1;
  }
}
