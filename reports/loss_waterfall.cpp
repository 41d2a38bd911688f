#include "reports/loss_waterfall.h"

namespace reports {

std::vector<LossStep> LossWaterfall(const OeeRow& row) {
  const double covered_run_h = row.run_h * row.standard_coverage;
  return {
      {"planned_stop_h", "Planned stop", row.planned_downtime_h},
      {"unplanned_downtime_h", "Unplanned downtime", row.unplanned_downtime_h},
      {"changeover_h", "Changeover", row.changeover_h},
      {"operator_stop_h", "Operator stop", row.operator_stop_h},
      {"waiting_h", "Waiting", row.waiting_h},
      {"no_standard_h", "Run without standard", row.run_h - covered_run_h},
      {"speed_loss_h", "Minor stops and speed", row.speed_loss_h},
      {"scrap_loss_h", "Scrap", row.scrap_loss_h},
      {"fully_productive_h", "Fully productive", row.fully_productive_h},
  };
}

}  // namespace reports
