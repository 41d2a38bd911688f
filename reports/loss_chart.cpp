#include "reports/loss_chart.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <set>

#include "reports/loss_waterfall.h"
#include "reports/oee_format.h"
#include "reports/text_table.h"
#include "reports/xml_text.h"

namespace reports {

namespace {

constexpr double kWidth = 960;
constexpr double kLabelWidth = 170;
constexpr double kBarRight = 870;
constexpr double kBarHeight = 22;
constexpr double kRowHeight = 32;
constexpr const char* kFont = "DejaVu Sans, Arial, sans-serif";

// Losses warm, productive time green, run without a standard grey.
constexpr const char* kStepColours[] = {"#8fa3bf", "#d9534f", "#5b9bd5", "#f0ad4e", "#e8d26a",
                                        "#c8ccd2", "#f6c6a0", "#a05195", "#3fa34d"};
constexpr const char* kLineColours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                        "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};

std::string SvgOpen(const char* css_class, double height) {
  return fmt::format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"{0}\" viewBox=\"0 0 {1} {2}\" "
      "width=\"{1}\" height=\"{2}\" font-family=\"{3}\">\n",
      css_class, kWidth, height, kFont);
}

std::string MachineLabel(const OeeRow& row) {
  return row.machine + (row.machine_name.empty() ? "" : " " + row.machine_name);
}

std::string Legend(double y) {
  std::string svg;
  double x = kLabelWidth;
  const std::vector<LossStep> steps = LossWaterfall(OeeRow{});
  for (size_t i = 0; i < steps.size(); ++i) {
    const double width = 26 + 6.6 * static_cast<double>(steps[i].label.size());
    if (x + width > kWidth) {
      x = kLabelWidth;
      y += 16;
    }
    svg += fmt::format(
        "<rect x=\"{:.1f}\" y=\"{:.1f}\" width=\"12\" height=\"12\" fill=\"{}\"/>"
        "<text x=\"{:.1f}\" y=\"{:.1f}\" font-size=\"11\" fill=\"#333\">{}</text>\n",
        x, y, kStepColours[i], x + 16, y + 10, XmlEscape(steps[i].label));
    x += width;
  }
  return svg;
}

}  // namespace

std::string RenderLossBarsSvg(const std::vector<OeeRow>& by_machine) {
  const double legend_y = 8;
  const double top = legend_y + 44;
  const double height = top + kRowHeight * static_cast<double>(std::max<size_t>(1, by_machine.size())) + 8;
  std::string svg = SvgOpen("losses", height) + Legend(legend_y);
  if (by_machine.empty()) {
    return svg + fmt::format(
                     "<text x=\"{}\" y=\"{}\" font-size=\"12\" fill=\"#666\">No records in the "
                     "period.</text>\n</svg>\n",
                     kLabelWidth, top + 16);
  }
  double longest = 0;
  for (const OeeRow& row : by_machine) longest = std::max(longest, row.scheduled_h);
  const double scale = longest > 0 ? (kBarRight - kLabelWidth) / longest : 0;
  double y = top;
  for (const OeeRow& row : by_machine) {
    svg += fmt::format(
        "<text x=\"{:.1f}\" y=\"{:.1f}\" font-size=\"12\" text-anchor=\"end\" fill=\"#222\">{}"
        "</text>\n",
        kLabelWidth - 8, y + 15, XmlEscape(MachineLabel(row)));
    double x = kLabelWidth;
    const std::vector<LossStep> steps = LossWaterfall(row);
    for (size_t i = 0; i < steps.size(); ++i) {
      const double width = std::max(0.0, steps[i].hours) * scale;
      if (width <= 0) continue;
      svg += fmt::format(
          "<rect class=\"step\" data-step=\"{}\" x=\"{:.2f}\" y=\"{:.1f}\" width=\"{:.2f}\" "
          "height=\"{}\" fill=\"{}\"><title>{}: {:.2f} h</title></rect>\n",
          steps[i].key, x, y, width, kBarHeight, kStepColours[i], XmlEscape(steps[i].label),
          steps[i].hours);
      x += width;
    }
    svg += fmt::format(
        "<text x=\"{:.1f}\" y=\"{:.1f}\" font-size=\"11\" fill=\"#222\">{}</text>\n", x + 6,
        y + 15, "OEE " + (row.oee ? Percent(row.oee) : std::string("\u2013")));
    y += kRowHeight;
  }
  return svg + "</svg>\n";
}

std::string RenderOeeTrendSvg(const std::vector<OeeRow>& by_day) {
  constexpr double kHeight = 260;
  constexpr double kLeft = 50;
  constexpr double kRight = 760;
  constexpr double kTop = 16;
  constexpr double kBottom = 220;
  std::set<int64_t> days;
  std::map<std::string, std::map<int64_t, double>> lines;
  for (const OeeRow& row : by_day) {
    if (!row.chart_date) continue;
    const int64_t day = row.chart_date->MillisecondsSinceEpoch();
    days.insert(day);
    if (row.oee) lines[MachineLabel(row)][day] = *row.oee;
  }
  double top_ratio = 1.0;
  for (const auto& [machine, points] : lines) {
    for (const auto& [day, oee] : points) top_ratio = std::max(top_ratio, oee);
  }
  const std::vector<int64_t> ordered(days.begin(), days.end());
  const auto x_of = [&](size_t index) {
    if (ordered.size() < 2) return (kLeft + kRight) / 2;
    return kLeft + (kRight - kLeft) * static_cast<double>(index) /
                       static_cast<double>(ordered.size() - 1);
  };
  const auto y_of = [&](double ratio) { return kBottom - (kBottom - kTop) * ratio / top_ratio; };
  std::string svg = SvgOpen("oee-trend", kHeight);
  for (int tick = 0; tick <= 4; ++tick) {
    const double ratio = top_ratio * tick / 4;
    svg += fmt::format(
        "<line x1=\"{0}\" y1=\"{1:.2f}\" x2=\"{2}\" y2=\"{1:.2f}\" stroke=\"#e3e6ea\"/>"
        "<text x=\"{3}\" y=\"{4:.2f}\" font-size=\"10\" text-anchor=\"end\" fill=\"#444\">{5:.0f}%"
        "</text>\n",
        kLeft, y_of(ratio), kRight, kLeft - 4, y_of(ratio) + 3, ratio * 100);
  }
  const size_t label_every = std::max<size_t>(1, (ordered.size() + 9) / 10);
  for (size_t i = 0; i < ordered.size(); i += label_every) {
    svg += fmt::format(
        "<text x=\"{:.1f}\" y=\"{}\" font-size=\"10\" text-anchor=\"middle\" fill=\"#444\">{}"
        "</text>\n",
        x_of(i), kBottom + 14, DateText(dbaccess::DateTime::FromMillisecondsSinceEpoch(ordered[i])).substr(5));
  }
  size_t colour = 0;
  double legend_y = kTop;
  for (const auto& [machine, points] : lines) {
    const char* stroke = kLineColours[colour++ % std::size(kLineColours)];
    std::string path;
    bool pen_down = false;
    for (size_t i = 0; i < ordered.size(); ++i) {
      const auto point = points.find(ordered[i]);
      if (point == points.end()) {
        pen_down = false;
        continue;
      }
      path += fmt::format("{}{:.1f},{:.1f} ", pen_down ? "L" : "M", x_of(i), y_of(point->second));
      svg += fmt::format("<circle cx=\"{:.1f}\" cy=\"{:.1f}\" r=\"2.5\" fill=\"{}\"/>\n", x_of(i),
                         y_of(point->second), stroke);
      pen_down = true;
    }
    svg += fmt::format(
        "<path class=\"trend\" d=\"{}\" fill=\"none\" stroke=\"{}\" stroke-width=\"1.8\"/>\n"
        "<rect x=\"{}\" y=\"{:.1f}\" width=\"12\" height=\"3\" fill=\"{}\"/>"
        "<text x=\"{}\" y=\"{:.1f}\" font-size=\"11\" fill=\"#333\">{}</text>\n",
        path, stroke, kRight + 12, legend_y + 4, stroke, kRight + 28, legend_y + 8,
        XmlEscape(machine));
    legend_y += 16;
  }
  svg += fmt::format("<line x1=\"{0}\" y1=\"{1}\" x2=\"{2}\" y2=\"{1}\" stroke=\"#888\"/>\n",
                     kLeft, kBottom, kRight);
  return svg + "</svg>\n";
}

}  // namespace reports
