// The HTML report's loss charts as inline SVG: the loss waterfall of each
// machine as one horizontal stacked bar (its scheduled hours, cut into the
// waterfall's steps, fully productive time at the right end), and the OEE
// per machine and day as a trend line. Pure functions; thread-safe.
#ifndef VOLTRANE_REPORTS_LOSS_CHART_H_
#define VOLTRANE_REPORTS_LOSS_CHART_H_

#include <string>
#include <vector>

#include "reports/oee.h"

namespace reports {

// One bar per row (OEE rows grouped by machine), with a legend.
std::string RenderLossBarsSvg(const std::vector<OeeRow>& by_machine);

// One line per machine over the chart dates of the rows (grouped by day);
// a day without OEE leaves a gap in its line.
std::string RenderOeeTrendSvg(const std::vector<OeeRow>& by_day);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_LOSS_CHART_H_
