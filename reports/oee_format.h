// The OEE rows as the `korvex7 report oee` formats print them: csv (the
// column order below, hours with 3 decimals, ratios with 4, empty cells for
// empty values), json (an array of objects with the same keys, null for
// empty values, numbers rounded alike) and text (a table of the figures,
// then one of the loss columns, percentages with one decimal). Pure
// functions; thread-safe.
#ifndef VOLTRANE_REPORTS_OEE_FORMAT_H_
#define VOLTRANE_REPORTS_OEE_FORMAT_H_

#include <nlohmann/json_fwd.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "reports/oee.h"

namespace reports {

// machine, chart_date, shift_id, shift_name, scheduled_h, planned_downtime_h,
// unplanned_downtime_h, run_h, good, scrap, availability, performance,
// quality, oee, then the loss model's changeover_h, operator_stop_h,
// waiting_h, minor_stop_h, running_h, standard_coverage, fully_productive_h,
// speed_loss_h, scrap_loss_h.
const std::vector<std::string>& OeeColumns();

void WriteOeeCsv(std::ostream& out, const std::vector<OeeRow>& rows);
void WriteOeeJson(std::ostream& out, const std::vector<OeeRow>& rows);
void WriteOeeTable(std::ostream& out, const std::vector<OeeRow>& rows);

// The keys of the row's group that every json row of the reports opens
// with: machine, chart_date, shift_id and shift_name (null when empty).
nlohmann::json GroupJson(const OeeRow& row);

// The shift as the text tables show it: its name, "-" on a day without one,
// "" for a row over the whole period.
std::string ShiftText(const OeeRow& row);

// "YYYY-MM-DD", or "" for none.
std::string DateText(const std::optional<dbaccess::DateTime>& date);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_OEE_FORMAT_H_
