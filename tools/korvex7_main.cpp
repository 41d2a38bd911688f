// korvex7: the command-line tool of the machine data library. Parses the
// command line and hands over to the subcommand.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "tools/append_command.h"
#include "tools/connect_command.h"
#include "tools/count_command.h"
#include "tools/group_command.h"
#include "tools/mqtt_command.h"
#include "tools/mtconnect_command.h"
#include "tools/process_command.h"
#include "tools/report_command.h"
#include "tools/schema_init_command.h"
#include "tools/serve_command.h"
#include "tools/simulate_command.h"
#include "tools/token_command.h"
#include "tools/tool_options.h"

int main(int argc, char** argv) {
  CLI::App app{"korvex7: use the machine data library from the command line"};
  ToolOptions options;
  AddGlobalOptions(app, options);
  app.fallthrough();  // global options may also follow the subcommand
  CLI::App* connect = AddConnectCommand(app);
  SchemaInitOptions schema_init_options;
  CLI::App* schema_init = AddSchemaInitCommand(app, schema_init_options);
  AppendOptions append_options;
  CLI::App* append = AddAppendCommand(app, append_options);
  ProcessOptions process_options;
  CLI::App* process = AddProcessCommand(app, process_options);
  CountOptions count_options;
  CLI::App* count = AddCountCommand(app, count_options);
  SimulateOptions simulate_options;
  CLI::App* simulate = AddSimulateCommand(app, simulate_options);
  MtconnectOptions mtconnect_options;
  CLI::App* mtconnect = AddMtconnectCommand(app, mtconnect_options);
  MqttOptions mqtt_options;
  CLI::App* mqtt = AddMqttCommand(app, mqtt_options);
  ReportOptions report_options;
  const ReportCommands report = AddReportCommands(app, report_options);
  ServeOptions serve_options;
  CLI::App* serve = AddServeCommand(app, serve_options);
  TokenOptions token_options;
  CLI::App* token = AddTokenCommand(app, token_options);
  GroupOptions group_options;
  const GroupCommands group = AddGroupCommands(app, group_options);
  app.require_subcommand(1);
  CLI11_PARSE(app, argc, argv);

  // Tokens live in the settings store alone: no database needed.
  if (token->parsed()) return RunToken(*token, token_options, std::cout, std::cerr);

  DatabaseChoice choice;
  std::string message;
  if (!ChooseDatabase(options, choice, message)) {
    std::cerr << message << "\n";
    return 1;
  }
  if (connect->parsed()) return RunConnect(choice, std::cout, std::cerr);
  if (schema_init->parsed()) {
    return RunSchemaInit(choice, schema_init_options, std::cout, std::cerr);
  }
  if (append->parsed()) return RunAppend(choice, append_options, std::cout, std::cerr);
  if (process->parsed()) {
    return RunProcess(choice, process_options, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
  }
  if (group.group->parsed()) {
    return RunGroup(choice, group, group_options, std::cout, std::cerr);
  }
  if (count->parsed()) return RunCount(choice, count_options, std::cout, std::cerr);
  if (simulate->parsed()) return RunSimulate(choice, simulate_options, std::cout, std::cerr);
  if (mtconnect->parsed()) return RunMtconnect(choice, mtconnect_options, std::cerr);
  if (mqtt->parsed()) return RunMqtt(choice, mqtt_options, std::cerr);
  if (report.oee->parsed() || report.losses->parsed() || report.downtimes->parsed() ||
      report.timeline->parsed() || report.html->parsed() || report.settings->parsed()) {
    return RunReport(choice, report, report_options, std::cout, std::cerr);
  }
  if (serve->parsed()) return RunServe(choice, serve_options, std::cout, std::cerr);
  return 1;
}
