#include "web/board_reports.h"

#include <algorithm>
#include <sstream>

#include "reports/oee.h"
#include "reports/oee_format.h"
#include "reports/timeline.h"
#include "reports/timeline_svg.h"

namespace web {

void FillShiftOee(const dbaccess::ConnectionPtr& reads, int32_t kind, const dbaccess::DateTime& now,
                  std::vector<MachineTile>& tiles) {
  std::optional<dbaccess::DateTime> first;
  std::optional<dbaccess::DateTime> last;
  for (const MachineTile& tile : tiles) {
    if (!tile.chart_date) continue;
    if (!first || *tile.chart_date < *first) first = tile.chart_date;
    if (!last || *tile.chart_date > *last) last = tile.chart_date;
  }
  if (!first) return;
  reports::OeeQuery query;
  query.from = first->DatePart();
  query.to = last->DatePart();
  query.grouping = reports::OeeGrouping::kShift;
  query.now = now;
  if (tiles.size() == 1) query.machines.push_back(tiles[0].number);
  const std::vector<reports::OeeRow> rows = reports::QueryOee(reads, kind, query);
  for (MachineTile& tile : tiles) {
    if (!tile.chart_date) continue;
    const auto row = std::find_if(rows.begin(), rows.end(), [&tile](const reports::OeeRow& candidate) {
      const bool same_shift = tile.shift_id.has_value() == candidate.shift_id.has_value() &&
                              (!tile.shift_id || *candidate.shift_id == *tile.shift_id);
      return same_shift && candidate.machine == tile.number && candidate.chart_date &&
             candidate.chart_date->DatePart() == tile.chart_date->DatePart();
    });
    if (row == rows.end()) continue;
    tile.oee = row->oee;
    tile.availability = row->availability;
    tile.performance = row->performance;
    tile.quality = row->quality;
  }
}

std::string MachineDayTimeline(const dbaccess::ConnectionPtr& reads, int32_t kind,
                               const MachineTile& tile, const dbaccess::DateTime& now) {
  const std::vector<reports::MachineTimeline> timelines =
      reports::QueryTimelines(reads, kind, now.DatePart(), {tile.number}, now);
  return timelines.empty() ? std::string() : reports::RenderTimelineSvg(timelines[0]);
}

nlohmann::json OeeRowsJson(const dbaccess::ConnectionPtr& reads, int32_t kind,
                           const dbaccess::DateTime& from, const dbaccess::DateTime& to) {
  reports::OeeQuery query;
  query.from = from;
  query.to = to;
  query.grouping = reports::OeeGrouping::kShift;
  std::ostringstream json;
  reports::WriteOeeJson(json, reports::QueryOee(reads, kind, query));
  return nlohmann::json::parse(json.str());
}

}  // namespace web
