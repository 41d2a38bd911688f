#include "reports/pareto_chart.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "reports/timeline.h"
#include "reports/timeline_svg.h"
#include "reports/xml_text.h"

namespace reports {

namespace {

constexpr double kWidth = 480;
constexpr double kHeight = 260;
constexpr double kLeft = 44;
constexpr double kRight = 436;
constexpr double kTop = 30;
constexpr double kBottom = 200;
constexpr size_t kMaxBars = 12;

// A round axis maximum at or above `value`: 1, 2 or 5 times a power of ten.
double AxisMaximum(double value) {
  if (value <= 0) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(value)));
  for (const double step : {1.0, 2.0, 5.0, 10.0}) {
    if (value <= step * power) return step * power;
  }
  return 10 * power;
}

}  // namespace

std::string RenderParetoSvg(const std::vector<DowntimeParetoRow>& all_rows, bool planned) {
  std::vector<DowntimeParetoRow> rows;
  for (const auto& row : all_rows) {
    if (row.planned == planned) rows.push_back(row);
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto& a, const auto& b) { return a.hours > b.hours; });
  double total = 0;
  for (const auto& row : rows) total += row.hours;
  if (rows.size() > kMaxBars) rows.resize(kMaxBars);

  const char* colour =
      SpanColour(planned ? SpanKind::kPlannedDowntime : SpanKind::kMachineDowntime);
  std::string svg = fmt::format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"pareto\" viewBox=\"0 0 {0} {1}\" "
      "width=\"{0}\" height=\"{1}\" font-family=\"DejaVu Sans, Arial, sans-serif\">\n"
      "<text x=\"{2}\" y=\"16\" font-size=\"13\" font-weight=\"bold\" fill=\"#111\">{3} "
      "downtimes by hours ({4:.2f} h)</text>\n",
      kWidth, kHeight, kLeft, planned ? "Planned" : "Unplanned", total);
  if (rows.empty()) {
    svg += fmt::format(
        "<text x=\"{}\" y=\"{}\" font-size=\"12\" fill=\"#666\">No downtimes in the period."
        "</text>\n</svg>\n",
        kLeft, kTop + 40);
    return svg;
  }
  const double maximum = AxisMaximum(rows.front().hours);
  const auto y_of_hours = [&](double hours) {
    return kBottom - (kBottom - kTop) * hours / maximum;
  };
  for (int tick = 0; tick <= 4; ++tick) {
    const double hours = maximum * tick / 4;
    const double y = y_of_hours(hours);
    svg += fmt::format(
        "<line x1=\"{0}\" y1=\"{1:.2f}\" x2=\"{2}\" y2=\"{1:.2f}\" stroke=\"#e3e6ea\"/>"
        "<text x=\"{3}\" y=\"{4:.2f}\" font-size=\"10\" text-anchor=\"end\" fill=\"#444\">{5:g} h"
        "</text><text x=\"{6}\" y=\"{4:.2f}\" font-size=\"10\" fill=\"#444\">{7}%</text>\n",
        kLeft, y, kRight, kLeft - 4, y + 3, hours, kRight + 4, tick * 25);
  }
  const double slot = (kRight - kLeft) / static_cast<double>(rows.size());
  const double bar = std::min(slot * 0.7, 48.0);
  std::string line;
  double running = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& row = rows[i];
    const double centre = kLeft + slot * (static_cast<double>(i) + 0.5);
    const double y = y_of_hours(row.hours);
    const std::string label = row.code.empty() ? "(none)" : row.code;
    svg += fmt::format(
        "<rect class=\"bar\" x=\"{:.2f}\" y=\"{:.2f}\" width=\"{:.2f}\" height=\"{:.2f}\" "
        "fill=\"{}\"><title>{} {} {}: {:.2f} h, {} times</title></rect>\n"
        "<text x=\"{:.2f}\" y=\"{:.2f}\" font-size=\"9\" text-anchor=\"middle\" fill=\"#333\">"
        "{:.1f} h, {}x</text>\n"
        "<text x=\"{:.2f}\" y=\"{:.2f}\" font-size=\"10\" text-anchor=\"end\" fill=\"#222\" "
        "transform=\"rotate(-35 {:.2f} {:.2f})\">{}</text>\n",
        centre - bar / 2, y, bar, kBottom - y, colour, row.user ? "user" : "machine",
        XmlEscape(label), XmlEscape(row.name), row.hours, row.count, centre, y - 3, row.hours,
        row.count, centre, kBottom + 14, centre, kBottom + 14, XmlEscape(label.substr(0, 14)));
    running += row.hours;
    const double share = total > 0 ? running / total : 0;
    const double line_y = kBottom - (kBottom - kTop) * share;
    line += fmt::format("{}{:.2f},{:.2f}", line.empty() ? "" : " ", centre, line_y);
    svg += fmt::format("<circle cx=\"{:.2f}\" cy=\"{:.2f}\" r=\"2.5\" fill=\"#222\"/>\n", centre,
                       line_y);
  }
  svg += fmt::format(
      "<polyline class=\"cumulative\" points=\"{}\" fill=\"none\" stroke=\"#222\" "
      "stroke-width=\"1.5\"/>\n<line x1=\"{}\" y1=\"{}\" x2=\"{}\" y2=\"{}\" stroke=\"#888\"/>\n"
      "</svg>\n",
      line, kLeft, kBottom, kRight, kBottom);
  return svg;
}

}  // namespace reports
