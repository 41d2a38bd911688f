#include "reports/html_report.h"

#include <fmt/format.h>

#include "reports/loss_chart.h"
#include "reports/loss_settings.h"
#include "reports/oee_format.h"
#include "reports/pareto_chart.h"
#include "reports/text_table.h"
#include "reports/timeline_svg.h"
#include "reports/xml_text.h"

namespace reports {

namespace {

using dbaccess::DateTime;

constexpr const char* kStyle = R"(
body { font-family: "DejaVu Sans", Arial, sans-serif; color: #1b1f24; margin: 16px auto;
       max-width: 1000px; font-size: 13px; }
h1 { font-size: 20px; margin: 0 0 2px 0; }
h2 { font-size: 15px; margin: 18px 0 6px 0; border-bottom: 1px solid #c0c4ca; }
p.meta { color: #555; margin: 0 0 8px 0; }
table { border-collapse: collapse; width: 100%; }
th, td { padding: 2px 6px; border-bottom: 1px solid #e3e6ea; text-align: right;
         white-space: nowrap; }
th { background: #f0f2f5; font-weight: 600; white-space: normal; font-size: 12px; }
td.text, th.text { text-align: left; }
td.good { background: #d8f0dc; } td.fair { background: #fbeec8; } td.poor { background: #f8d6d2; }
tr.machine-start td { border-top: 1px solid #9aa1aa; }
.charts { display: flex; flex-wrap: wrap; gap: 8px; }
svg { max-width: 100%; height: auto; }
@media print { body { margin: 0; max-width: none; font-size: 10px; }
               @page { size: A4; margin: 10mm; } section { break-inside: avoid; } }
)";

std::string Cell(const std::string& text, const char* css_class = "") {
  if (*css_class == '\0') return "<td>" + XmlEscape(text) + "</td>";
  return fmt::format("<td class=\"{}\">{}</td>", css_class, XmlEscape(text));
}

// World-class OEE is 85 % and more; below 60 % a machine needs attention.
const char* OeeClass(const std::optional<double>& oee) {
  if (!oee) return "";
  return *oee >= 0.85 ? "good" : *oee >= 0.6 ? "fair" : "poor";
}

std::string OeeTable(const std::vector<OeeRow>& rows, bool by_shift) {
  std::string html = "<table class=\"oee\">\n<tr><th class=\"text\">Machine</th>";
  if (by_shift) html += "<th class=\"text\">Date</th><th class=\"text\">Shift</th>";
  html +=
      "<th>Scheduled h</th><th>Planned DT h</th><th>Unplanned DT h</th><th>Run h</th>"
      "<th>Good</th><th>Scrap</th><th>Availability</th><th>Performance</th><th>Quality</th>"
      "<th>OEE</th></tr>\n";
  std::string previous;
  for (const OeeRow& row : rows) {
    const bool first = row.machine != previous;
    previous = row.machine;
    html += first && by_shift ? "<tr class=\"machine-start\">" : "<tr>";
    html += Cell(row.machine + (row.machine_name.empty() ? "" : " " + row.machine_name), "text");
    if (by_shift) {
      html += Cell(DateText(row.chart_date), "text");
      html += Cell(row.shift_id ? row.shift_name : "no shift", "text");
    }
    html += Cell(Fixed(row.scheduled_h, 2)) + Cell(Fixed(row.planned_downtime_h, 2)) +
            Cell(Fixed(row.unplanned_downtime_h, 2)) + Cell(Fixed(row.run_h, 2)) +
            Cell(std::to_string(row.good)) + Cell(std::to_string(row.scrap)) +
            Cell(Percent(row.availability)) + Cell(Percent(row.performance)) +
            Cell(Percent(row.quality)) + Cell(Percent(row.oee), OeeClass(row.oee));
    html += "</tr>\n";
  }
  if (rows.empty())
    html += "<tr><td class=\"text\" colspan=\"15\">No records in the period.</td></tr>\n";
  return html + "</table>\n";
}

std::string PartTable(const std::vector<OeeRow>& rows) {
  std::string html =
      "<table class=\"parts\">\n<tr><th class=\"text\">Part</th><th>Run h</th>"
      "<th>Standard coverage</th><th>Good</th><th>Scrap</th><th>Availability</th>"
      "<th>Performance</th><th>Quality</th><th>OEE</th></tr>\n";
  for (const OeeRow& row : rows) {
    html += "<tr>" + Cell(row.part.empty() ? "(no part)" : row.part, "text") +
            Cell(Fixed(row.run_h, 2)) + Cell(Percent(row.standard_coverage)) +
            Cell(std::to_string(row.good)) + Cell(std::to_string(row.scrap)) +
            Cell(Percent(row.availability)) + Cell(Percent(row.performance)) +
            Cell(Percent(row.quality)) + Cell(Percent(row.oee), OeeClass(row.oee)) + "</tr>\n";
  }
  if (rows.empty()) html += "<tr><td class=\"text\" colspan=\"9\">No records.</td></tr>\n";
  return html + "</table>\n";
}

std::string ParetoTable(const std::vector<DowntimeParetoRow>& rows) {
  std::string html =
      "<table class=\"pareto\">\n<tr><th class=\"text\">Kind</th><th class=\"text\">Type</th>"
      "<th class=\"text\">Code</th><th class=\"text\">Name</th><th>Hours</th><th>Count</th>"
      "<th>% of hours</th><th>Cumulative</th></tr>\n";
  for (const auto& row : rows) {
    html += "<tr>" + Cell(row.planned ? "planned" : "unplanned", "text") +
            Cell(row.user ? "user" : "machine", "text") +
            Cell(row.code.empty() ? "(none)" : row.code, "text") + Cell(row.name, "text") +
            Cell(Fixed(row.hours, 2)) + Cell(std::to_string(row.count)) +
            Cell(Percent(row.hours_share)) + Cell(Percent(row.cumulative_share)) + "</tr>\n";
  }
  if (rows.empty()) html += "<tr><td class=\"text\" colspan=\"8\">No downtimes.</td></tr>\n";
  return html + "</table>\n";
}

std::string Period(const HtmlReportData& data) {
  const std::string from = DateText(data.from);
  const std::string to = DateText(data.to);
  return from == to ? from : from + " to " + to;
}

}  // namespace

HtmlReportData QueryHtmlReport(const dbaccess::ConnectionPtr& connection, int32_t kind,
                               const DateTime& from, const DateTime& to,
                               const std::vector<std::string>& machines,
                               std::optional<DateTime> now) {
  HtmlReportData data;
  data.from = from.DatePart();
  data.to = to.DatePart();
  data.generated_at = now ? *now : DatabaseNow(connection, kind);
  data.machines = machines;
  const LossSettings settings = ReadLossSettings(connection, kind);
  OeeQuery oee{data.from, data.to, machines, OeeGrouping::kShift, data.generated_at};
  data.oee_by_shift = QueryOee(connection, kind, oee, settings);
  oee.grouping = OeeGrouping::kMachine;
  data.oee_by_machine = QueryOee(connection, kind, oee, settings);
  if (data.from < data.to) {
    oee.grouping = OeeGrouping::kDay;
    data.oee_by_day = QueryOee(connection, kind, oee, settings);
  }
  oee.grouping = OeeGrouping::kPart;
  data.oee_by_part = QueryOee(connection, kind, oee, settings);
  DowntimeParetoQuery pareto{data.from, data.to, machines, ParetoOrder::kHours, data.generated_at};
  data.downtimes = QueryDowntimePareto(connection, kind, pareto);
  data.timelines = QueryTimelines(connection, kind, data.to, machines, data.generated_at);
  return data;
}

std::string RenderHtmlReport(const HtmlReportData& data) {
  std::string machines = "all machines";
  if (!data.machines.empty()) {
    machines = "machines";
    for (const auto& machine : data.machines) machines += " " + machine;
  }
  std::string html = fmt::format(
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>Plant report {0}</title>\n<style>{1}</style>\n</head>\n<body>\n"
      "<h1>Plant report {0}</h1>\n<p class=\"meta\">Chart dates {0}, {2}; figures as of {3}. "
      "Open records count up to that time.</p>\n",
      XmlEscape(Period(data)), kStyle, XmlEscape(machines), data.generated_at.ToTextSeconds());
  html += "<section>\n<h2>OEE per machine</h2>\n" + OeeTable(data.oee_by_machine, false) +
          "</section>\n";
  html += "<section>\n<h2>Where the scheduled time went</h2>\n" +
          RenderLossBarsSvg(data.oee_by_machine) + "</section>\n";
  if (!data.oee_by_day.empty()) {
    html += "<section>\n<h2>OEE per day</h2>\n" + RenderOeeTrendSvg(data.oee_by_day) +
            "</section>\n";
  }
  html += "<section>\n<h2>OEE per part</h2>\n" + PartTable(data.oee_by_part) + "</section>\n";
  html += "<section>\n<h2>OEE per machine and shift</h2>\n" + OeeTable(data.oee_by_shift, true) +
          "</section>\n";
  html += "<section>\n<h2>Downtime Pareto</h2>\n<div class=\"charts\">\n" +
          RenderParetoSvg(data.downtimes, false) + RenderParetoSvg(data.downtimes, true) +
          "</div>\n" + ParetoTable(data.downtimes) + "</section>\n";
  html += fmt::format("<section>\n<h2>Machine timelines {}</h2>\n", DateText(data.to)) +
          RenderTimelinesSvg(data.timelines) + "</section>\n";
  html += "</body>\n</html>\n";
  return html;
}

}  // namespace reports
