// The downtime Pareto: the downtime rows of the records charted from `from`
// to `to`, summed per downtime code (hours and count), planned and unplanned
// apart, largest first. Computed from the records and downtime rows only;
// nothing is written.
//
// Hours are DURATION of closed rows and, for a row still open, the time up to
// `now` as oee.h counts it. A downtime carried over a record split (a shift
// end) is one row per record but counts once: a row that begins at its
// record's start where the machine's previous record ended a row of the same
// type is not counted again. A row whose code is unknown to
// T_SFC_DOWNTIME_CODE is grouped by the number it was sent with and is
// unplanned. One set-based statement; DbError on failure; one thread per
// connection.
#ifndef VOLTRANE_REPORTS_DOWNTIME_PARETO_H_
#define VOLTRANE_REPORTS_DOWNTIME_PARETO_H_

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"

namespace reports {

enum class ParetoOrder { kHours, kCount };

struct DowntimeParetoQuery {
  dbaccess::DateTime from;  // chart dates, inclusive
  dbaccess::DateTime to;
  std::vector<std::string> machines;  // empty: every machine
  ParetoOrder order = ParetoOrder::kHours;
  std::optional<dbaccess::DateTime> now;  // empty: the database's clock
};

struct DowntimeParetoRow {
  bool planned = false;
  bool user = false;  // a user downtime (DOWNTIME_TYPE_CODE 1), else a machine downtime
  std::string code;   // DOWNTIME_CODE_NUMBER, or the number sent for an unknown code
  std::string name;   // DOWNTIME_CODE_NAME, "" for an unknown code
  double hours = 0;
  int64_t count = 0;
  double hours_share = 0;       // of the hours of its part (planned or unplanned)
  double count_share = 0;       // of the count of its part
  double cumulative_share = 0;  // running share of the order's measure within its part
};

// Unplanned codes first, then planned ones; within each, largest first by
// the query's order (ties by the other measure, then by code).
std::vector<DowntimeParetoRow> QueryDowntimePareto(const dbaccess::ConnectionPtr& connection,
                                                   int32_t kind, const DowntimeParetoQuery& query);

// csv columns: planned, type, code, name, hours, count, hours_share,
// count_share, cumulative_share (hours 3 decimals, shares 4).
void WriteParetoCsv(std::ostream& out, const std::vector<DowntimeParetoRow>& rows);
void WriteParetoJson(std::ostream& out, const std::vector<DowntimeParetoRow>& rows);
void WriteParetoTable(std::ostream& out, const std::vector<DowntimeParetoRow>& rows);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_DOWNTIME_PARETO_H_
