#include "reports/loss_figures.h"

namespace reports {

namespace {

std::optional<double> Ratio(double numerator, double denominator) {
  if (denominator <= 0) return std::nullopt;
  return numerator / denominator;
}

}  // namespace

LossSums LossSums::OfRecord(const LossHours& hours, int64_t good, int64_t scrap,
                            double standard_minutes) {
  LossSums sums;
  sums.hours = hours;
  sums.good = good;
  sums.scrap = scrap;
  if (standard_minutes > 0) {
    sums.covered_run_h = hours.running + hours.minor_stop;
    sums.standard_good_minutes = standard_minutes * static_cast<double>(good);
    sums.standard_scrap_minutes = standard_minutes * static_cast<double>(scrap);
  }
  return sums;
}

void LossSums::Add(const LossSums& other) {
  hours.Add(other.hours);
  covered_run_h += other.covered_run_h;
  standard_good_minutes += other.standard_good_minutes;
  standard_scrap_minutes += other.standard_scrap_minutes;
  good += other.good;
  scrap += other.scrap;
}

LossFigures ComputeLossFigures(const LossSums& sums, const LossSettings& settings) {
  LossFigures figures;
  const LossHours& h = sums.hours;
  figures.planned_production_h =
      h.Scheduled() - h.planned_stop - (settings.changeover_is_planned ? h.changeover : 0);
  figures.run_h = h.running + h.minor_stop;
  figures.standard_coverage = Ratio(sums.covered_run_h, figures.run_h).value_or(0);
  const double standard_parts_h = (sums.standard_good_minutes + sums.standard_scrap_minutes) / 60;
  figures.fully_productive_h = sums.standard_good_minutes / 60;
  figures.scrap_loss_h = sums.standard_scrap_minutes / 60;
  figures.speed_loss_h = sums.covered_run_h - standard_parts_h;
  figures.availability = Ratio(figures.run_h, figures.planned_production_h);
  figures.performance = Ratio(standard_parts_h, sums.covered_run_h);
  figures.quality =
      Ratio(static_cast<double>(sums.good), static_cast<double>(sums.good + sums.scrap));
  if (figures.availability && figures.performance && figures.quality) {
    figures.oee = *figures.availability * *figures.performance * *figures.quality;
  }
  return figures;
}

}  // namespace reports
