// The downtime Pareto as an SVG chart: one chart per part (unplanned or
// planned), a bar per code (hours, largest first, the count above it) and
// the running share of hours as a line on a 0-100 % scale at the right.
// Self-contained SVG, 480 units wide. Pure function; thread-safe.
#ifndef VOLTRANE_REPORTS_PARETO_CHART_H_
#define VOLTRANE_REPORTS_PARETO_CHART_H_

#include <string>
#include <vector>

#include "reports/downtime_pareto.h"

namespace reports {

// The chart of the rows with `planned` as given, ranked by hours. A part
// without rows gives a chart that says so.
std::string RenderParetoSvg(const std::vector<DowntimeParetoRow>& rows, bool planned);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_PARETO_CHART_H_
