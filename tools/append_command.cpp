#include "tools/append_command.h"

#include <fmt/format.h>

#include "library/com_error.h"
#include "tools/library_object.h"

CLI::App* AddAppendCommand(CLI::App& app, AppendOptions& options) {
  CLI::App* append = app.add_subcommand("append", "Queue one command in the MDC log");
  append->add_option("--machine", options.machine_number, "Machine number (MACHINE_NUMBER)")
      ->required();
  append->add_option("--type", options.command_type_code, "Command type code (COMMAND_TYPE_CODE)")
      ->required();
  append->add_option("--param", options.param, "Command parameter (PARAM1); none when omitted");
  append->add_option("--time-code", options.command_time_code, "0 start (default), 1 end, 2 both");
  return append;
}

int RunAppend(const DatabaseChoice& choice, const AppendOptions& options, std::ostream& out,
              std::ostream& err) {
  LibraryObject object = CreateLibraryObject(err);
  if (!object) return 1;
  try {
    std::string error;
    if (!object.Connect(choice, error)) {
      err << fmt::format("Could not connect to the database: {}\n", error);
      return 1;
    }
    const korvex7::AppendResult result =
        object->AppendCommand({options.machine_number, options.command_type_code, options.param,
                               options.command_time_code, std::nullopt, ""});
    if (result.status != korvex7::AppendStatus::kAppended) {
      // Some of the library's texts begin with a blank.
      error = result.text;
      error.erase(0, error.find_first_not_of(' '));
      err << fmt::format("Could not append the command: {}\n", error);
      return 1;
    }
  } catch (const ComError& error) {
    err << fmt::format("Could not append the command: Error # {}:{}\n", error.number(),
                       error.description());
    return 1;
  }
  out << fmt::format("Appended command type {} (time code {}) for machine {}.\n",
                     options.command_type_code, options.command_time_code, options.machine_number);
  return 0;
}
