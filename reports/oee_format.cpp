#include "reports/oee_format.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "reports/text_table.h"

namespace reports {

namespace {

constexpr int kHourDecimals = 3;
constexpr int kRatioDecimals = 4;

nlohmann::json OptionalNumber(std::optional<double> value, int decimals) {
  if (!value) return nullptr;
  return Rounded(*value, decimals);
}

std::vector<std::string> CsvFields(const OeeRow& row) {
  return {row.machine,
          DateText(row.chart_date),
          row.shift_id ? std::to_string(*row.shift_id) : "",
          row.shift_name,
          Fixed(row.scheduled_h, kHourDecimals),
          Fixed(row.planned_downtime_h, kHourDecimals),
          Fixed(row.unplanned_downtime_h, kHourDecimals),
          Fixed(row.run_h, kHourDecimals),
          std::to_string(row.good),
          std::to_string(row.scrap),
          Fixed(row.availability, kRatioDecimals),
          Fixed(row.performance, kRatioDecimals),
          Fixed(row.quality, kRatioDecimals),
          Fixed(row.oee, kRatioDecimals),
          Fixed(row.changeover_h, kHourDecimals),
          Fixed(row.operator_stop_h, kHourDecimals),
          Fixed(row.waiting_h, kHourDecimals),
          Fixed(row.minor_stop_h, kHourDecimals),
          Fixed(row.running_h, kHourDecimals),
          Fixed(row.standard_coverage, kRatioDecimals),
          Fixed(row.fully_productive_h, kHourDecimals),
          Fixed(row.speed_loss_h, kHourDecimals),
          Fixed(row.scrap_loss_h, kHourDecimals)};
}

}  // namespace

std::string DateText(const std::optional<dbaccess::DateTime>& date) {
  if (!date) return "";
  return fmt::format("{:04}-{:02}-{:02}", date->Year(), date->Month(), date->Day());
}

const std::vector<std::string>& OeeColumns() {
  static const std::vector<std::string> columns = {"machine",
                                                   "chart_date",
                                                   "shift_id",
                                                   "shift_name",
                                                   "scheduled_h",
                                                   "planned_downtime_h",
                                                   "unplanned_downtime_h",
                                                   "run_h",
                                                   "good",
                                                   "scrap",
                                                   "availability",
                                                   "performance",
                                                   "quality",
                                                   "oee",
                                                   "changeover_h",
                                                   "operator_stop_h",
                                                   "waiting_h",
                                                   "minor_stop_h",
                                                   "running_h",
                                                   "standard_coverage",
                                                   "fully_productive_h",
                                                   "speed_loss_h",
                                                   "scrap_loss_h"};
  return columns;
}

void WriteOeeCsv(std::ostream& out, const std::vector<OeeRow>& rows) {
  WriteCsvLine(out, OeeColumns());
  for (const OeeRow& row : rows) WriteCsvLine(out, CsvFields(row));
}

nlohmann::json GroupJson(const OeeRow& row) {
  nlohmann::json object;
  object["machine"] = row.machine;
  object["chart_date"] = row.chart_date ? nlohmann::json(DateText(row.chart_date)) : nullptr;
  object["shift_id"] = row.shift_id ? nlohmann::json(*row.shift_id) : nullptr;
  object["shift_name"] = row.shift_id ? nlohmann::json(row.shift_name) : nullptr;
  return object;
}

std::string ShiftText(const OeeRow& row) {
  return row.shift_id ? row.shift_name : (row.chart_date ? "-" : "");
}

void WriteOeeJson(std::ostream& out, const std::vector<OeeRow>& rows) {
  nlohmann::json array = nlohmann::json::array();
  for (const OeeRow& row : rows) {
    nlohmann::json object = GroupJson(row);
    object["scheduled_h"] = Rounded(row.scheduled_h, kHourDecimals);
    object["planned_downtime_h"] = Rounded(row.planned_downtime_h, kHourDecimals);
    object["unplanned_downtime_h"] = Rounded(row.unplanned_downtime_h, kHourDecimals);
    object["run_h"] = Rounded(row.run_h, kHourDecimals);
    object["good"] = row.good;
    object["scrap"] = row.scrap;
    object["availability"] = OptionalNumber(row.availability, kRatioDecimals);
    object["performance"] = OptionalNumber(row.performance, kRatioDecimals);
    object["quality"] = OptionalNumber(row.quality, kRatioDecimals);
    object["oee"] = OptionalNumber(row.oee, kRatioDecimals);
    object["changeover_h"] = Rounded(row.changeover_h, kHourDecimals);
    object["operator_stop_h"] = Rounded(row.operator_stop_h, kHourDecimals);
    object["waiting_h"] = Rounded(row.waiting_h, kHourDecimals);
    object["minor_stop_h"] = Rounded(row.minor_stop_h, kHourDecimals);
    object["running_h"] = Rounded(row.running_h, kHourDecimals);
    object["standard_coverage"] = Rounded(row.standard_coverage, kRatioDecimals);
    object["fully_productive_h"] = Rounded(row.fully_productive_h, kHourDecimals);
    object["speed_loss_h"] = Rounded(row.speed_loss_h, kHourDecimals);
    object["scrap_loss_h"] = Rounded(row.scrap_loss_h, kHourDecimals);
    array.push_back(std::move(object));
  }
  out << array.dump(2) << "\n";
}

// The figures and the loss columns do not fit in 160 columns side by side,
// so the losses follow as a second table with the same machine, date and
// shift per line.
void WriteOeeTable(std::ostream& out, const std::vector<OeeRow>& rows) {
  const std::vector<std::string> figures_header = {
      "machine", "date",  "shift", "sched h", "plan dt h", "unpl dt h", "run h",
      "good",    "scrap", "avail", "perf",    "qual",      "OEE"};
  const std::vector<std::string> losses_header = {
      "machine", "date",      "shift",     "changeover h", "oper stop h", "waiting h",
      "minor h", "running h", "std cover", "fully prod h", "speed h",     "scrap h"};
  std::vector<std::vector<std::string>> figures;
  std::vector<std::vector<std::string>> losses;
  for (const OeeRow& row : rows) {
    const std::string shift = ShiftText(row);
    figures.push_back({row.machine, DateText(row.chart_date), shift, Fixed(row.scheduled_h, 2),
                       Fixed(row.planned_downtime_h, 2), Fixed(row.unplanned_downtime_h, 2),
                       Fixed(row.run_h, 2), std::to_string(row.good), std::to_string(row.scrap),
                       Percent(row.availability), Percent(row.performance), Percent(row.quality),
                       Percent(row.oee)});
    losses.push_back({row.machine, DateText(row.chart_date), shift, Fixed(row.changeover_h, 2),
                      Fixed(row.operator_stop_h, 2), Fixed(row.waiting_h, 2),
                      Fixed(row.minor_stop_h, 2), Fixed(row.running_h, 2),
                      Percent(row.standard_coverage), Fixed(row.fully_productive_h, 2),
                      Fixed(row.speed_loss_h, 2), Fixed(row.scrap_loss_h, 2)});
  }
  WriteTextTable(out, figures_header, figures, {0, 1, 2});
  out << "\n";
  WriteTextTable(out, losses_header, losses, {0, 1, 2});
}

}  // namespace reports
