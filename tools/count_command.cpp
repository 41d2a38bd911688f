#include "tools/count_command.h"

#include <fmt/format.h>

#include "library/com_error.h"
#include "tools/failing_rows.h"
#include "tools/library_object.h"

CLI::App* AddCountCommand(CLI::App& app, CountOptions& options) {
  CLI::App* count = app.add_subcommand("count", "Print the number of rows waiting in the MDC log");
  count->add_flag("--failing", options.failing,
                  "List the waiting rows that failed at least once: attempts, time of the last "
                  "attempt and the last error");
  return count;
}

int RunCount(const DatabaseChoice& choice, const CountOptions& options, std::ostream& out,
             std::ostream& err) {
  if (options.failing) return RunListFailingRows(choice, out, err);
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
