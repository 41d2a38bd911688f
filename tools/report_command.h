// `korvex7 report oee|losses|downtimes|timeline|html|settings`: the reports
// of the reports/ folder on the chosen database, and the loss model's
// settings they share.
//
//   report oee --from DATE --to DATE [--machine NUMBER]... [--by shift|day|machine]
//              [--format table|csv|json]
//   report losses --from DATE --to DATE [--machine NUMBER]... [--by shift|day|machine]
//              [--format table|csv|json]
//   report downtimes --from DATE --to DATE [--machine NUMBER]... [--order hours|count]
//              [--format table|csv|json]
//   report timeline --day DATE [--machine NUMBER]... --output FILE.svg|FILE.html
//   report html --from DATE --to DATE [--machine NUMBER]... --output FILE.html
//   report settings [--micro-stop-seconds N] [--changeover-is-planned on|off]
//
// Dates are YYYY-MM-DD (chart dates for oee, losses, downtimes and html, the
// calendar day for timeline). Reports only read; `report settings` writes
// the values given (stored in the database, see reports/loss_settings.h)
// and prints those in force. Exit code 0 when the report was
// written, 1 when the database could not be read or the file not written
// (the reason goes to `err`); bad options are refused by the parser.
#ifndef VOLTRANE_TOOLS_REPORT_COMMAND_H_
#define VOLTRANE_TOOLS_REPORT_COMMAND_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
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
  std::optional<int32_t> micro_stop_seconds;
  std::string changeover_is_planned;  // "on", "off" or "" for unchanged
};

struct ReportCommands {
  CLI::App* oee = nullptr;
  CLI::App* losses = nullptr;
  CLI::App* downtimes = nullptr;
  CLI::App* timeline = nullptr;
  CLI::App* html = nullptr;
  CLI::App* settings = nullptr;
};

ReportCommands AddReportCommands(CLI::App& app, ReportOptions& options);

// Runs whichever report subcommand was parsed.
int RunReport(const DatabaseChoice& choice, const ReportCommands& commands,
              const ReportOptions& options, std::ostream& out, std::ostream& err);

#endif  // VOLTRANE_TOOLS_REPORT_COMMAND_H_
