// The one-page HTML report: the OEE per machine with its loss waterfall as
// one stacked bar per machine, the OEE trend per day (for more than one
// day), the OEE per part, the OEE table per machine and shift, the downtime
// Pareto as charts and a table, and the machine timelines of the period's
// last day. One self-contained file:
// inline CSS and SVG, nothing loaded from elsewhere; it prints on A4.
#ifndef VOLTRANE_REPORTS_HTML_REPORT_H_
#define VOLTRANE_REPORTS_HTML_REPORT_H_

#include <optional>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "reports/downtime_pareto.h"
#include "reports/oee.h"
#include "reports/timeline.h"

namespace reports {

struct HtmlReportData {
  dbaccess::DateTime from;  // chart dates
  dbaccess::DateTime to;
  dbaccess::DateTime generated_at;    // the database's time the figures were taken at
  std::vector<std::string> machines;  // the selection, empty for all
  std::vector<OeeRow> oee_by_shift;
  std::vector<OeeRow> oee_by_machine;
  std::vector<OeeRow> oee_by_day;  // empty for a single day
  std::vector<OeeRow> oee_by_part;
  std::vector<DowntimeParetoRow> downtimes;
  std::vector<MachineTimeline> timelines;  // of `to`
};

// Reads everything the page shows (OEE by shift, machine, day and part, the
// Pareto, the timelines of `to`) at one moment, the database's clock unless
// `now` is given. Throws DbError.
HtmlReportData QueryHtmlReport(const dbaccess::ConnectionPtr& connection, int32_t kind,
                               const dbaccess::DateTime& from, const dbaccess::DateTime& to,
                               const std::vector<std::string>& machines,
                               std::optional<dbaccess::DateTime> now = std::nullopt);

// The page. Pure function; thread-safe.
std::string RenderHtmlReport(const HtmlReportData& data);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_HTML_REPORT_H_
