// From the loss hours and part counts of a group (a machine's shift, day or
// any larger sum) to the figures plants read: availability, performance,
// quality, OEE and the speed and scrap losses. Pure arithmetic; thread-safe.
//
//   planned production = scheduled - planned stop (- changeover when it is
//                        counted as planned);
//   run                = running + minor stops;
//   availability       = run / planned production;
//   performance        = standard minutes x (good + scrap) / (60 x run) over
//                        the records with a standard time above 0, their run
//                        time only; empty without such run time;
//   standard coverage  = that run time / all run time, 0 without either;
//   quality            = good / (good + scrap);
//   oee                = availability x performance x quality;
//   fully productive   = standard x good / 60, scrap loss = standard x scrap / 60,
//   speed loss         = covered run - standard x (good + scrap) / 60 (it
//                        holds the minor stops of the covered run time).
// A ratio whose denominator is 0 is empty, and so is OEE when one factor is.
#ifndef VOLTRANE_REPORTS_LOSS_FIGURES_H_
#define VOLTRANE_REPORTS_LOSS_FIGURES_H_

#include <cstdint>
#include <optional>

#include "reports/loss_model.h"

namespace reports {

// What a group's figures are computed from; groups add up by Add.
struct LossSums {
  LossHours hours;
  double covered_run_h = 0;          // run time of the records with a standard time
  double standard_good_minutes = 0;  // standard time x good over those records
  double standard_scrap_minutes = 0;
  int64_t good = 0;
  int64_t scrap = 0;

  // One record's share: its hours, counts and standard time (minutes per
  // part; 0 or less for none).
  static LossSums OfRecord(const LossHours& hours, int64_t good, int64_t scrap,
                           double standard_minutes);
  void Add(const LossSums& other);
};

struct LossFigures {
  double planned_production_h = 0;
  double run_h = 0;
  double standard_coverage = 0;
  double fully_productive_h = 0;
  double speed_loss_h = 0;
  double scrap_loss_h = 0;
  std::optional<double> availability;
  std::optional<double> performance;
  std::optional<double> quality;
  std::optional<double> oee;
};

LossFigures ComputeLossFigures(const LossSums& sums, const LossSettings& settings);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_LOSS_FIGURES_H_
