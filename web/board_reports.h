// What the board takes from the reports (reports/oee.h, reports/timeline.h):
// the OEE of each machine's current shift, the timeline of a machine's day
// and the OEE rows of a date range, with the reports' definitions. Reads
// only; database failures escape as dbaccess::DbError. One thread per
// connection.
#ifndef VOLTRANE_WEB_BOARD_REPORTS_H_
#define VOLTRANE_WEB_BOARD_REPORTS_H_

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "web/machine_board.h"

namespace web {

// Sets each tile's `oee`, `availability`, `performance` and `quality` to
// those of its current record's machine, chart date and shift, counted up to
// `now`; a tile without a current record keeps none.
void FillShiftOee(const dbaccess::ConnectionPtr& reads, int32_t kind, const dbaccess::DateTime& now,
                  std::vector<MachineTile>& tiles);

// The machine's timeline of the day of `now` as inline SVG, "" when the
// machine has none.
std::string MachineDayTimeline(const dbaccess::ConnectionPtr& reads, int32_t kind,
                               const MachineTile& tile, const dbaccess::DateTime& now);

// The OEE rows per machine, chart date and shift for chart dates from..to,
// as `korvex7 report oee --format json` prints them.
nlohmann::json OeeRowsJson(const dbaccess::ConnectionPtr& reads, int32_t kind,
                           const dbaccess::DateTime& from, const dbaccess::DateTime& to);

}  // namespace web

#endif  // VOLTRANE_WEB_BOARD_REPORTS_H_
