// OEE (overall equipment effectiveness) per machine and shift, day or
// machine, or per part, by the loss model of loss_model.h and the figures of
// loss_figures.h; nothing is written.
//
// Records are selected by CHART_DATE from `from` to `to` inclusive; their
// scheduled time (STOP_TIME - START_TIME) is split into the loss categories
// by the machine's state over time: the setup, cycle and teardown events of
// T_SFC_EVENT, and the downtime rows of the records (type 0 machine, type 1
// user; planned when the code has PLANNED = 1, a row without a code is
// unplanned). The records of the chart dates either side are read too, so
// that an idle stretch across the report's edge counts at its whole length.
// `planned_downtime_h` holds the planned stops, `unplanned_downtime_h` the
// machine downtimes not planned, `run_h` the running time plus minor stops.
// Larger groups (day, machine, part) sum the hours and parts before
// dividing.
//
// An open record (and an open event or downtime row in it) counts up to
// `now`, the database's current time unless given, but never past the moment
// the collector will close it at: its SHIFT_END, or the midnight after its
// start (swing shifts are split at midnight, records without a shift end at
// the latest there). A report on a day long past therefore does not grow.
//
// A few set-based statements per call (records, downtime rows, events, the
// loss settings unless given, part numbers when grouping by part), index
// ranges on CHART_DATE and START_TIME.
// Database failures throw dbaccess::DbError. One thread per connection.
#ifndef VOLTRANE_REPORTS_OEE_H_
#define VOLTRANE_REPORTS_OEE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "reports/loss_model.h"

namespace reports {

// kPart: one row per part number over every machine (machine empty).
enum class OeeGrouping { kShift, kDay, kMachine, kPart };

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
  std::string part;  // PART_NUMBER when grouped by part, "" for none
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
  double changeover_h = 0;
  double operator_stop_h = 0;
  double waiting_h = 0;
  double minor_stop_h = 0;
  double running_h = 0;
  double standard_coverage = 0;
  double fully_productive_h = 0;
  double speed_loss_h = 0;
  double scrap_loss_h = 0;
  double planned_production_h = 0;
};

// The rows in machine number, chart date and shift order (records without a
// shift last within their day). `kind` is the database kind of `connection`.
// The loss settings are those stored in the database (loss_settings.h).
std::vector<OeeRow> QueryOee(const dbaccess::ConnectionPtr& connection, int32_t kind,
                             const OeeQuery& query);
// The same under the settings given.
std::vector<OeeRow> QueryOee(const dbaccess::ConnectionPtr& connection, int32_t kind,
                             const OeeQuery& query, const LossSettings& settings);

// The database's current time, the `now` of the reports. Throws DbError.
dbaccess::DateTime DatabaseNow(const dbaccess::ConnectionPtr& connection, int32_t kind);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_OEE_H_
