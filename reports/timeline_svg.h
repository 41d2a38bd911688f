// Timelines as self-contained SVG: one band per machine with its status
// spans, a thin strip of user downtimes under it, dashed shift boundaries,
// logon (L), job (J) and part (P) marks above it, the day's counts beside
// the machine, an hour axis and a legend. 1000 units wide, so that it reads
// at A4 width; nothing is loaded from elsewhere.
//
// Every status and user downtime span is one <rect class="span KIND"> with
// data-start and data-stop ("HH:MM:SS"); x and width map 24 hours onto the
// band's width. Pure functions; thread-safe.
#ifndef VOLTRANE_REPORTS_TIMELINE_SVG_H_
#define VOLTRANE_REPORTS_TIMELINE_SVG_H_

#include <string>
#include <vector>

#include "reports/timeline.h"

namespace reports {

// The fill colour of a span kind ("#2e9d45" ...).
const char* SpanColour(SpanKind kind);

// The machines' bands stacked under one axis, with the legend.
std::string RenderTimelinesSvg(const std::vector<MachineTimeline>& timelines);
// One machine's day, with axis and legend.
std::string RenderTimelineSvg(const MachineTimeline& timeline);

// Geometry, for callers that place marks of their own: the x of a moment.
double TimelineX(const MachineTimeline& timeline, const dbaccess::DateTime& at);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_TIMELINE_SVG_H_
