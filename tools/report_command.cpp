#include "tools/report_command.h"

#include <fmt/format.h>

#include <fstream>
#include <optional>

#include "dbaccess/database_connection.h"
#include "dbaccess/db_error.h"
#include "cipher/mod_crypto.h"
#include "reports/downtime_pareto.h"
#include "reports/html_report.h"
#include "reports/loss_format.h"
#include "reports/loss_settings.h"
#include "reports/oee.h"
#include "reports/oee_format.h"
#include "reports/timeline.h"
#include "reports/timeline_svg.h"

namespace {

using dbaccess::DateTime;

// A calendar date written exactly as YYYY-MM-DD.
std::optional<DateTime> ParseDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const std::optional<DateTime> date = DateTime::Parse(text);
  if (!date || reports::DateText(date) != text) return std::nullopt;
  return date;
}

const CLI::Validator kDate(
    [](std::string& text) {
      return ParseDate(text) ? std::string()
                             : fmt::format("'{}' is not a date of the form YYYY-MM-DD", text);
    },
    "YYYY-MM-DD");

void AddPeriod(CLI::App& command, ReportOptions& options) {
  command.add_option("--from", options.from, "First chart date, YYYY-MM-DD")
      ->required()
      ->check(kDate);
  command.add_option("--to", options.to, "Last chart date (inclusive), YYYY-MM-DD")
      ->required()
      ->check(kDate);
}

void AddMachines(CLI::App& command, ReportOptions& options) {
  command.add_option("--machine", options.machines,
                     "Machine number; repeat for several (default: every machine)");
}

void AddFormat(CLI::App& command, ReportOptions& options) {
  command.add_option("--format", options.format, "Output format (default table)")
      ->check(CLI::IsMember({"table", "csv", "json"}));
}

bool WriteFile(const std::string& path, const std::string& text, std::ostream& err) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) {
    err << fmt::format("Could not write {}.\n", path);
    return false;
  }
  return true;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string TimelinePage(const std::string& day, const std::string& svg) {
  return fmt::format(
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>Machine timelines {0}</title>\n<style>body {{ font-family: \"DejaVu Sans\", Arial, "
      "sans-serif; margin: 16px auto; max-width: 1000px; }} svg {{ max-width: 100%; height: auto; "
      "}}</style>\n</head>\n<body>\n<h1>Machine timelines {0}</h1>\n{1}</body>\n</html>\n",
      day, svg);
}

std::vector<reports::OeeRow> QueryOeeRows(const dbaccess::ConnectionPtr& connection, int32_t kind,
                                          const ReportOptions& options) {
  reports::OeeQuery query;
  query.from = *ParseDate(options.from);
  query.to = *ParseDate(options.to);
  query.machines = options.machines;
  query.grouping = options.by == "day"       ? reports::OeeGrouping::kDay
                   : options.by == "machine" ? reports::OeeGrouping::kMachine
                                             : reports::OeeGrouping::kShift;
  return reports::QueryOee(connection, kind, query);
}

int RunOee(const dbaccess::ConnectionPtr& connection, int32_t kind, const ReportOptions& options,
           std::ostream& out) {
  const std::vector<reports::OeeRow> rows = QueryOeeRows(connection, kind, options);
  if (options.format == "csv") {
    reports::WriteOeeCsv(out, rows);
  } else if (options.format == "json") {
    reports::WriteOeeJson(out, rows);
  } else {
    reports::WriteOeeTable(out, rows);
  }
  return 0;
}

int RunLosses(const dbaccess::ConnectionPtr& connection, int32_t kind,
              const ReportOptions& options, std::ostream& out) {
  const std::vector<reports::OeeRow> rows = QueryOeeRows(connection, kind, options);
  if (options.format == "csv") {
    reports::WriteLossesCsv(out, rows);
  } else if (options.format == "json") {
    reports::WriteLossesJson(out, rows);
  } else {
    reports::WriteLossesTable(out, rows);
  }
  return 0;
}

int RunSettings(const dbaccess::ConnectionPtr& connection, int32_t kind,
                const ReportOptions& options, std::ostream& out) {
  reports::LossSettings settings = reports::ReadLossSettings(connection, kind);
  const bool change = options.micro_stop_seconds || !options.changeover_is_planned.empty();
  if (options.micro_stop_seconds) settings.micro_stop_seconds = *options.micro_stop_seconds;
  if (!options.changeover_is_planned.empty()) {
    settings.changeover_is_planned = options.changeover_is_planned == "on";
  }
  if (change) {
    reports::WriteLossSettings(connection, kind, settings);
    settings = reports::ReadLossSettings(connection, kind);
  }
  out << fmt::format("MicroStopSeconds={}\nChangeoverIsPlanned={}\n", settings.micro_stop_seconds,
                     settings.changeover_is_planned ? "on" : "off");
  return 0;
}

int RunDowntimes(const dbaccess::ConnectionPtr& connection, int32_t kind,
                 const ReportOptions& options, std::ostream& out) {
  reports::DowntimeParetoQuery query;
  query.from = *ParseDate(options.from);
  query.to = *ParseDate(options.to);
  query.machines = options.machines;
  query.order =
      options.order == "count" ? reports::ParetoOrder::kCount : reports::ParetoOrder::kHours;
  const auto rows = reports::QueryDowntimePareto(connection, kind, query);
  if (options.format == "csv") {
    reports::WriteParetoCsv(out, rows);
  } else if (options.format == "json") {
    reports::WriteParetoJson(out, rows);
  } else {
    reports::WriteParetoTable(out, rows);
  }
  return 0;
}

int RunTimeline(const dbaccess::ConnectionPtr& connection, int32_t kind,
                const ReportOptions& options, std::ostream& out, std::ostream& err) {
  const auto timelines =
      reports::QueryTimelines(connection, kind, *ParseDate(options.day), options.machines);
  const std::string svg = reports::RenderTimelinesSvg(timelines);
  const bool page = EndsWith(options.output, ".html") || EndsWith(options.output, ".htm");
  if (!WriteFile(options.output, page ? TimelinePage(options.day, svg) : svg, err)) return 1;
  out << fmt::format("Wrote the timelines of {} machines for {} to {}\n", timelines.size(),
                     options.day, options.output);
  return 0;
}

int RunHtml(const dbaccess::ConnectionPtr& connection, int32_t kind, const ReportOptions& options,
            std::ostream& out, std::ostream& err) {
  const reports::HtmlReportData data = reports::QueryHtmlReport(
      connection, kind, *ParseDate(options.from), *ParseDate(options.to), options.machines);
  if (!WriteFile(options.output, reports::RenderHtmlReport(data), err)) return 1;
  out << fmt::format("Wrote the report to {}\n", options.output);
  return 0;
}

}  // namespace

ReportCommands AddReportCommands(CLI::App& app, ReportOptions& options) {
  CLI::App* report =
      app.add_subcommand("report", "Reports from the shop-floor records (read only)");
  report->require_subcommand(1);
  ReportCommands commands;

  commands.oee = report->add_subcommand("oee", "OEE per machine and shift, day or machine");
  AddPeriod(*commands.oee, options);
  AddMachines(*commands.oee, options);
  commands.oee->add_option("--by", options.by, "Group by shift (default), day or machine")
      ->check(CLI::IsMember({"shift", "day", "machine"}));
  AddFormat(*commands.oee, options);

  commands.losses = report->add_subcommand(
      "losses", "Loss waterfall from scheduled to fully productive hours per machine and shift");
  AddPeriod(*commands.losses, options);
  AddMachines(*commands.losses, options);
  commands.losses->add_option("--by", options.by, "Group by shift (default), day or machine")
      ->check(CLI::IsMember({"shift", "day", "machine"}));
  AddFormat(*commands.losses, options);

  commands.downtimes =
      report->add_subcommand("downtimes", "Downtime codes by hours and count, largest first");
  AddPeriod(*commands.downtimes, options);
  AddMachines(*commands.downtimes, options);
  commands.downtimes->add_option("--order", options.order, "Rank by hours (default) or count")
      ->check(CLI::IsMember({"hours", "count"}));
  AddFormat(*commands.downtimes, options);

  commands.timeline =
      report->add_subcommand("timeline", "Machine timelines of one day as SVG or HTML");
  commands.timeline->add_option("--day", options.day, "The day, YYYY-MM-DD")
      ->required()
      ->check(kDate);
  AddMachines(*commands.timeline, options);
  commands.timeline->add_option("--output", options.output, "FILE.svg or FILE.html")
      ->required()
      ->check(CLI::Validator(
          [](std::string& path) {
            return EndsWith(path, ".svg") || EndsWith(path, ".html") || EndsWith(path, ".htm")
                       ? std::string()
                       : "the output must end in .svg or .html";
          },
          "FILE"));

  commands.html = report->add_subcommand(
      "html", "One page: OEE, downtime Pareto and the timelines of the last day");
  AddPeriod(*commands.html, options);
  AddMachines(*commands.html, options);
  commands.html->add_option("--output", options.output, "FILE.html")->required();

  commands.settings = report->add_subcommand(
      "settings", "Show, or set, how the reports count losses (stored in the database)");
  commands.settings
      ->add_option("--micro-stop-seconds", options.micro_stop_seconds,
                   "Idle stretches shorter than this are minor stops (default 120)")
      ->check(CLI::Range(0, 86400));
  commands.settings
      ->add_option("--changeover-is-planned", options.changeover_is_planned,
                   "Count setups and teardowns as planned stops: on or off (default off)")
      ->check(CLI::IsMember({"on", "off"}));

  for (CLI::App* command : {commands.oee, commands.losses, commands.downtimes, commands.html}) {
    command->callback([&options]() {
      if (*ParseDate(options.from) > *ParseDate(options.to)) {
        throw CLI::ValidationError("--from",
                                   fmt::format("{} is after --to {}", options.from, options.to));
      }
    });
  }
  return commands;
}

int RunReport(const DatabaseChoice& choice, const ReportCommands& commands,
              const ReportOptions& options, std::ostream& out, std::ostream& err) {
  const int32_t kind = choice.database_type;
  auto connection = std::make_shared<dbaccess::Connection>();
  try {
    connection->Open(voltrane::DecipherConnectionString(choice.connection_string));
  } catch (const dbaccess::DbError& error) {
    err << fmt::format("Could not connect to the {} database: Error # {}:{}\n",
                       voltrane::DbTypeString(kind), error.number(), error.description());
    return 1;
  }
  try {
    if (commands.oee->parsed()) return RunOee(connection, kind, options, out);
    if (commands.losses->parsed()) return RunLosses(connection, kind, options, out);
    if (commands.settings->parsed()) return RunSettings(connection, kind, options, out);
    if (commands.downtimes->parsed()) return RunDowntimes(connection, kind, options, out);
    if (commands.timeline->parsed()) return RunTimeline(connection, kind, options, out, err);
    if (commands.html->parsed()) return RunHtml(connection, kind, options, out, err);
  } catch (const dbaccess::DbError& error) {
    err << fmt::format("The report could not be read: Error # {}:{}\n", error.number(),
                       error.description());
    return 1;
  }
  return 1;
}
