#include "reports/loss_format.h"

#include <nlohmann/json.hpp>

#include "reports/loss_waterfall.h"
#include "reports/oee_format.h"
#include "reports/text_table.h"

namespace reports {

namespace {

constexpr int kHourDecimals = 3;
constexpr int kRatioDecimals = 4;

}  // namespace

const std::vector<std::string>& LossColumns() {
  static const std::vector<std::string> columns = [] {
    std::vector<std::string> names = {"machine", "chart_date", "shift_id", "shift_name",
                                      "scheduled_h"};
    for (const LossStep& step : LossWaterfall(OeeRow{})) names.push_back(step.key);
    names.push_back("oee");
    return names;
  }();
  return columns;
}

void WriteLossesCsv(std::ostream& out, const std::vector<OeeRow>& rows) {
  WriteCsvLine(out, LossColumns());
  for (const OeeRow& row : rows) {
    std::vector<std::string> fields = {row.machine, DateText(row.chart_date),
                                       row.shift_id ? std::to_string(*row.shift_id) : "",
                                       row.shift_name, Fixed(row.scheduled_h, kHourDecimals)};
    for (const LossStep& step : LossWaterfall(row)) {
      fields.push_back(Fixed(step.hours, kHourDecimals));
    }
    fields.push_back(Fixed(row.oee, kRatioDecimals));
    WriteCsvLine(out, fields);
  }
}

void WriteLossesJson(std::ostream& out, const std::vector<OeeRow>& rows) {
  nlohmann::json array = nlohmann::json::array();
  for (const OeeRow& row : rows) {
    nlohmann::json object = GroupJson(row);
    object["scheduled_h"] = Rounded(row.scheduled_h, kHourDecimals);
    for (const LossStep& step : LossWaterfall(row)) {
      object[step.key] = Rounded(step.hours, kHourDecimals);
    }
    object["oee"] = row.oee ? nlohmann::json(Rounded(*row.oee, kRatioDecimals)) : nullptr;
    array.push_back(std::move(object));
  }
  out << array.dump(2) << "\n";
}

void WriteLossesTable(std::ostream& out, const std::vector<OeeRow>& rows) {
  std::vector<std::string> header = {"machine", "date", "shift", "Scheduled"};
  for (const LossStep& step : LossWaterfall(OeeRow{})) header.push_back(step.label);
  header.push_back("OEE");
  std::vector<std::vector<std::string>> cells;
  for (const OeeRow& row : rows) {
    std::vector<std::string> line = {row.machine, DateText(row.chart_date), ShiftText(row),
                                     Fixed(row.scheduled_h, 2)};
    for (const LossStep& step : LossWaterfall(row)) line.push_back(Fixed(step.hours, 2));
    line.push_back(Percent(row.oee));
    cells.push_back(std::move(line));
  }
  WriteTextTable(out, header, cells, {0, 1, 2});
}

}  // namespace reports
