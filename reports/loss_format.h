// `korvex7 report losses` output: the loss waterfall per machine and shift
// (or day, or machine) as csv, json or a text table. Columns: machine,
// chart_date, shift_id, shift_name, scheduled_h, the waterfall's steps by
// their keys (loss_waterfall.h), then oee. Hours with 3 decimals, OEE with 4;
// the table shows hours with 2 and OEE as a percentage. Pure functions;
// thread-safe.
#ifndef VOLTRANE_REPORTS_LOSS_FORMAT_H_
#define VOLTRANE_REPORTS_LOSS_FORMAT_H_

#include <ostream>
#include <string>
#include <vector>

#include "reports/oee.h"

namespace reports {

const std::vector<std::string>& LossColumns();

void WriteLossesCsv(std::ostream& out, const std::vector<OeeRow>& rows);
void WriteLossesJson(std::ostream& out, const std::vector<OeeRow>& rows);
void WriteLossesTable(std::ostream& out, const std::vector<OeeRow>& rows);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_LOSS_FORMAT_H_
