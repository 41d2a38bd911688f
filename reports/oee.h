// OEE (overall equipment effectiveness) per machine and shift, day or
// machine, computed from the machine data records and their downtime rows
// only; nothing is written.
//
// Records are selected by CHART_DATE from `from` to `to` inclusive. Per group:
//   scheduled_h          = sum of STOP_TIME - START_TIME of the records, hours;
//   planned_downtime_h   = sum of DURATION of their downtime rows whose code
//                          has PLANNED = 1;
//   unplanned_downtime_h = sum of DURATION of their other downtime rows
//                          (machine and user, a row without a code included);
//   run_h                = scheduled - planned - unplanned, not below 0;
//   availability         = run_h / (scheduled_h - planned_downtime_h);
//   performance          = sum(STANDARD_TIME * (GOOD + SCRAPPED)) / (run_h * 60),
//                          STANDARD_TIME in minutes per part; empty when no
//                          record of the group has a standard time above 0;
//   quality              = good / (good + scrap), empty without parts;
//   oee                  = availability * performance * quality, empty when
//                          one of them is.
// A ratio whose denominator is 0 is empty too. Larger groups (day, machine)
// sum the same quantities before dividing.
//
// An open record (and an open downtime row in it) counts up to `now`, the
// database's current time unless given, but never past the moment the
// collector will close it at: its SHIFT_END, or the midnight after its start
// (swing shifts are split at midnight, records without a shift end at the
// latest there). A report on a day long past therefore does not grow.
//
// Two set-based statements per call (records, downtime rows), each an index
// range on CHART_DATE. Database failures throw dbaccess::DbError. One thread
// per connection.
#ifndef VOLTRANE_REPORTS_OEE_H_
#define VOLTRANE_REPORTS_OEE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"

namespace reports {

enum class OeeGrouping { kShift, kDay, kMachine };

struct OeeQuery {
  dbaccess::DateTime from;  // chart dates, inclusive; the time of day is ignored
  dbaccess::DateTime to;
  std::vector<std::string> machines;  // MACHINE_NUMBERs; empty: every machine
  OeeGrouping grouping = OeeGrouping::kShift;
  std::optional<dbaccess::DateTime> now;  // empty: the database's clock
};

struct OeeRow {
  std::string machine;                           // MACHINE_NUMBER
  std::string machine_name;                      // MACHINE_NAME, "" when none
  std::optional<dbaccess::DateTime> chart_date;  // empty when grouped by machine
  std::optional<int64_t> shift_id;               // empty: no shift, or not grouped by shift
  std::string shift_name;
  double scheduled_h = 0;
  double planned_downtime_h = 0;
  double unplanned_downtime_h = 0;
  double run_h = 0;
  int64_t good = 0;
  int64_t scrap = 0;
  std::optional<double> availability;
  std::optional<double> performance;
  std::optional<double> quality;
  std::optional<double> oee;
};

// The rows in machine number, chart date and shift order (records without a
// shift last within their day). `kind` is the database kind of `connection`.
std::vector<OeeRow> QueryOee(const dbaccess::ConnectionPtr& connection, int32_t kind,
                             const OeeQuery& query);

// The database's current time, the `now` of the reports. Throws DbError.
dbaccess::DateTime DatabaseNow(const dbaccess::ConnectionPtr& connection, int32_t kind);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_OEE_H_
