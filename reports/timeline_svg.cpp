// Timeline SVG: fixed geometry (1000 units wide, a 130-unit label column,
// 70 units per machine band), drawn in document order: axis and hour grid,
// then per band the spans, the shift boundaries and the marks, then the legend.
#include "reports/timeline_svg.h"

#include <fmt/format.h>

#include "reports/xml_text.h"

namespace reports {

namespace {

using dbaccess::DateTime;

constexpr double kWidth = 1000;
constexpr double kPlotLeft = 130;
constexpr double kPlotRight = 990;
constexpr double kAxisHeight = 26;
constexpr double kBandHeight = 70;
constexpr double kMarkTop = 4;  // within a band
constexpr double kBarTop = 18;
constexpr double kBarHeight = 24;
constexpr double kUserTop = 45;
constexpr double kUserHeight = 7;
constexpr double kLegendHeight = 44;

const SpanKind kLegendKinds[] = {
    SpanKind::kCycle,           SpanKind::kSetup,        SpanKind::kTeardown,       SpanKind::kIdle,
    SpanKind::kMachineDowntime, SpanKind::kUserDowntime, SpanKind::kPlannedDowntime};

std::string Clock(const DateTime& at, const DateTime& day_start) {
  if (at >= day_start.AddDays(1)) return "24:00:00";
  return fmt::format("{:02}:{:02}:{:02}", at.Hour(), at.Minute(), at.Second());
}

const char* LegendText(SpanKind kind) {
  switch (kind) {
    case SpanKind::kMachineDowntime:
      return "machine downtime";
    case SpanKind::kUserDowntime:
      return "user downtime";
    case SpanKind::kPlannedDowntime:
      return "planned downtime";
    default:
      return SpanKindName(kind);
  }
}

const char* MarkLetter(MarkKind kind) {
  switch (kind) {
    case MarkKind::kLogon:
      return "L";
    case MarkKind::kJob:
      return "J";
    case MarkKind::kPart:
      return "P";
  }
  return "";
}

const char* MarkName(MarkKind kind) {
  switch (kind) {
    case MarkKind::kLogon:
      return "logon";
    case MarkKind::kJob:
      return "job";
    case MarkKind::kPart:
      return "part";
  }
  return "";
}

void WriteAxis(std::string& svg, double grid_bottom) {
  for (int hour = 0; hour <= 24; ++hour) {
    const double x = kPlotLeft + (kPlotRight - kPlotLeft) * hour / 24.0;
    svg += fmt::format(
        "<line class=\"grid\" x1=\"{0:.2f}\" y1=\"{1}\" x2=\"{0:.2f}\" y2=\"{2:.2f}\" "
        "stroke=\"#e3e6ea\" stroke-width=\"{3}\"/>\n",
        x, kAxisHeight - 6, grid_bottom, hour % 6 == 0 ? 1.2 : 0.6);
    if (hour % 2 == 0) {
      // The last label ends at the plot's edge so that it stays inside the picture.
      svg += fmt::format(
          "<text x=\"{:.2f}\" y=\"14\" font-size=\"11\" text-anchor=\"{}\" "
          "fill=\"#444\">{:02}:00</text>\n",
          x, hour == 24 ? "end" : "middle", hour);
    }
  }
}

void WriteSpan(std::string& svg, const MachineTimeline& timeline, const TimelineSpan& span,
               double top, double height) {
  const double x = TimelineX(timeline, span.start);
  const double width = TimelineX(timeline, span.stop) - x;
  std::string title =
      fmt::format("{} {}-{}", LegendText(span.kind), Clock(span.start, timeline.day_start),
                  Clock(span.stop, timeline.day_start));
  if (!span.code.empty()) title += " code " + span.code;
  svg += fmt::format(
      "<rect class=\"span {}\" x=\"{:.2f}\" y=\"{:.2f}\" width=\"{:.2f}\" height=\"{:.2f}\" "
      "fill=\"{}\" data-start=\"{}\" data-stop=\"{}\"><title>{}</title></rect>\n",
      SpanKindName(span.kind), x, top, width, height, SpanColour(span.kind),
      Clock(span.start, timeline.day_start), Clock(span.stop, timeline.day_start),
      XmlEscape(title));
}

void WriteBand(std::string& svg, const MachineTimeline& timeline, double top) {
  svg += fmt::format("<g class=\"band\" data-machine=\"{}\">\n", XmlEscape(timeline.machine));
  svg += fmt::format(
      "<text x=\"4\" y=\"{:.2f}\" font-size=\"14\" font-weight=\"bold\" fill=\"#111\">{}</text>\n",
      top + kBarTop + 12, XmlEscape(timeline.machine));
  svg += fmt::format("<text x=\"4\" y=\"{:.2f}\" font-size=\"10\" fill=\"#555\">{}</text>\n",
                     top + kBarTop + 24, XmlEscape(timeline.machine_name.substr(0, 22)));
  svg += fmt::format(
      "<text class=\"counts\" x=\"4\" y=\"{:.2f}\" font-size=\"10\" fill=\"#333\">"
      "{} cycles, {} good, {} scrap</text>\n",
      top + kBarTop + 36, timeline.cycles, timeline.good, timeline.scrap);
  svg += fmt::format(
      "<rect class=\"frame\" x=\"{}\" y=\"{:.2f}\" width=\"{}\" height=\"{}\" fill=\"#fafbfc\" "
      "stroke=\"#c0c4ca\" stroke-width=\"0.5\"/>\n",
      kPlotLeft, top + kBarTop, kPlotRight - kPlotLeft, kBarHeight);
  for (const TimelineSpan& span : timeline.status) {
    WriteSpan(svg, timeline, span, top + kBarTop, kBarHeight);
  }
  for (const TimelineSpan& span : timeline.user_downtimes) {
    WriteSpan(svg, timeline, span, top + kUserTop, kUserHeight);
  }
  for (const ShiftBoundary& boundary : timeline.shift_boundaries) {
    const double x = TimelineX(timeline, boundary.at);
    const std::string name = boundary.shift_name.empty() ? "no shift" : boundary.shift_name;
    svg += fmt::format(
        "<line class=\"shift-boundary\" x1=\"{0:.2f}\" y1=\"{1:.2f}\" x2=\"{0:.2f}\" "
        "y2=\"{2:.2f}\" stroke=\"#222\" stroke-width=\"1.2\" stroke-dasharray=\"4 2\">"
        "<title>{3} from {4}</title></line>\n"
        "<text x=\"{5:.2f}\" y=\"{6:.2f}\" font-size=\"9\" fill=\"#222\">{3}</text>\n",
        x, top + kBarTop - 3, top + kUserTop + kUserHeight + 3, XmlEscape(name),
        Clock(boundary.at, timeline.day_start), x + 2, top + kUserTop + kUserHeight + 11);
  }
  for (const TimelineMark& mark : timeline.marks) {
    const double x = TimelineX(timeline, mark.at);
    svg += fmt::format(
        "<g class=\"mark {0}\"><title>{0} {1} at {2}</title>"
        "<path d=\"M{3:.2f},{4:.2f} l-3.5,-6 h7 z\" fill=\"#333\"/>"
        "<text x=\"{3:.2f}\" y=\"{5:.2f}\" font-size=\"8\" text-anchor=\"middle\" "
        "fill=\"#333\">{6}</text></g>\n",
        MarkName(mark.kind), XmlEscape(mark.text.empty() ? "-" : mark.text),
        Clock(mark.at, timeline.day_start), x, top + kBarTop - 1, top + kMarkTop + 4,
        MarkLetter(mark.kind));
  }
  svg += "</g>\n";
}

void WriteLegend(std::string& svg, double top) {
  double x = kPlotLeft;
  svg += "<g class=\"legend\">\n";
  for (const SpanKind kind : kLegendKinds) {
    svg += fmt::format(
        "<rect x=\"{:.2f}\" y=\"{:.2f}\" width=\"12\" height=\"12\" fill=\"{}\"/>"
        "<text x=\"{:.2f}\" y=\"{:.2f}\" font-size=\"11\" fill=\"#222\">{}</text>\n",
        x, top + 8, SpanColour(kind), x + 16, top + 18, LegendText(kind));
    x += 24 + 6.4 * std::string(LegendText(kind)).size();
  }
  svg += fmt::format(
      "<text x=\"{:.2f}\" y=\"{:.2f}\" font-size=\"11\" fill=\"#222\">"
      "\u25BE L logon, J job, P part change; thin strip: user downtime; dashed line: shift "
      "boundary</text>\n",
      kPlotLeft, top + 36);
  svg += "</g>\n";
}

}  // namespace

const char* SpanColour(SpanKind kind) {
  switch (kind) {
    case SpanKind::kIdle:
      return "#c9ced6";
    case SpanKind::kSetup:
      return "#3b6fd8";
    case SpanKind::kCycle:
      return "#2e9d45";
    case SpanKind::kTeardown:
      return "#1f9aa8";
    case SpanKind::kMachineDowntime:
      return "#d63a2f";
    case SpanKind::kUserDowntime:
      return "#f08c2e";
    case SpanKind::kPlannedDowntime:
      return "#8a5fc9";
  }
  return "#000000";
}

double TimelineX(const MachineTimeline& timeline, const DateTime& at) {
  const double day_ms = static_cast<double>(timeline.day_end.MillisecondsSinceEpoch() -
                                            timeline.day_start.MillisecondsSinceEpoch());
  double share = static_cast<double>(at.MillisecondsSinceEpoch() -
                                     timeline.day_start.MillisecondsSinceEpoch()) /
                 day_ms;
  share = share < 0 ? 0 : share > 1 ? 1 : share;
  return kPlotLeft + (kPlotRight - kPlotLeft) * share;
}

std::string RenderTimelinesSvg(const std::vector<MachineTimeline>& timelines) {
  const double bands_bottom = kAxisHeight + kBandHeight * static_cast<double>(timelines.size());
  const double height = bands_bottom + kLegendHeight;
  std::string svg = fmt::format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"timeline\" viewBox=\"0 0 {0} {1}\" "
      "width=\"{0}\" height=\"{1}\" font-family=\"DejaVu Sans, Arial, sans-serif\">\n",
      kWidth, height);
  WriteAxis(svg, bands_bottom);
  double top = kAxisHeight;
  for (const MachineTimeline& timeline : timelines) {
    WriteBand(svg, timeline, top);
    top += kBandHeight;
  }
  WriteLegend(svg, bands_bottom);
  svg += "</svg>\n";
  return svg;
}

std::string RenderTimelineSvg(const MachineTimeline& timeline) {
  return RenderTimelinesSvg({timeline});
}

}  // namespace reports
