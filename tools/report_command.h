// `korvex7 report oee|downtimes|timeline|html`: the reports of the reports/
// folder on the chosen database.
//
//   report oee --from DATE --to DATE [--machine NUMBER]... [--by shift|day|machine]
//              [--format table|csv|json]
//   report downtimes --from DATE --to DATE [--machine NUMBER]... [--order hours|count]
//              [--format table|csv|json]
//   report timeline --day DATE [--machine NUMBER]... --output FILE.svg|FILE.html
//   report html --from DATE --to DATE [--machine NUMBER]... --output FILE.html
//
// Dates are YYYY-MM-DD (chart dates for oee, downtimes and html, the calendar
// day for timeline). Reports only read. Exit code 0 when the report was
// written, 1 when the database could not be read or the file not written
// (the reason goes to `err`); bad options are refused by the parser.
#ifndef VOLTRANE_TOOLS_REPORT_COMMAND_H_
#define VOLTRANE_TOOLS_REPORT_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "tools/tool_options.h"

struct ReportOptions {
  std::string from;
  std::string to;
  std::string day;
  std::vector<std::string> machines;
  std::string by = "shift";
  std::string order = "hours";
  std::string format = "table";
  std::string output;
};

struct ReportCommands {
  CLI::App* oee = nullptr;
  CLI::App* downtimes = nullptr;
  CLI::App* timeline = nullptr;
  CLI::App* html = nullptr;
};

ReportCommands AddReportCommands(CLI::App& app, ReportOptions& options);

// Runs whichever report subcommand was parsed.
int RunReport(const DatabaseChoice& choice, const ReportCommands& commands,
              const ReportOptions& options, std::ostream& out, std::ostream& err);

#endif  // VOLTRANE_TOOLS_REPORT_COMMAND_H_
