// The loss waterfall of an OEE row: the scheduled hours, then what each loss
// takes from them in the order plants read it, down to the fully productive
// hours. The losses add up to the scheduled hours:
//   scheduled = planned stop + unplanned downtime + changeover + operator stop
//             + waiting + run without standard time + minor stops and speed
//             + scrap + fully productive.
// Run time of records without a standard time cannot be told apart into
// speed, scrap and productive time; it stands as a step of its own. Pure
// functions; thread-safe.
#ifndef VOLTRANE_REPORTS_LOSS_WATERFALL_H_
#define VOLTRANE_REPORTS_LOSS_WATERFALL_H_

#include <string>
#include <vector>

#include "reports/oee.h"

namespace reports {

struct LossStep {
  std::string key;    // "planned_stop_h", ... as the csv and json name it
  std::string label;  // "Planned stop", ... as the table and the chart show it
  double hours = 0;
};

// The nine steps after `scheduled_h`, from planned stop to fully productive.
std::vector<LossStep> LossWaterfall(const OeeRow& row);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_LOSS_WATERFALL_H_
