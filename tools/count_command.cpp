#include "tools/count_command.h"

#include <fmt/format.h>

#include "library/com_error.h"
#include "tools/library_object.h"

CLI::App* AddCountCommand(CLI::App& app) {
  return app.add_subcommand("count", "Print the number of rows waiting in the MDC log");
}

int RunCount(const DatabaseChoice& choice, std::ostream& out, std::ostream& err) {
  LibraryObject object = CreateConnectedObject(choice, err);
  if (!object) return 1;
  try {
    out << object->GetMDCLogCount() << "\n";
    return 0;
  } catch (const ComError& error) {
    err << fmt::format("Could not count the log: Error # {}:{}\n", error.number(),
                       error.description());
    return 1;
  }
}
