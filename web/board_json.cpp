#include "web/board_json.h"

#include <cmath>

namespace web {

using nlohmann::json;

json TimeJson(const std::optional<dbaccess::DateTime>& time) {
  if (!time) return nullptr;
  std::string text = time->ToTextSeconds();
  text[10] = 'T';
  return text;
}

json RatioJson(const std::optional<double>& ratio) {
  if (!ratio || !std::isfinite(*ratio)) return nullptr;
  return std::round(*ratio * 10000.0) / 10000.0;
}

json TileJson(const MachineTile& tile) {
  return json{{"machine", tile.number},
              {"name", tile.name},
              {"status", StatusName(tile.status)},
              {"status_code", tile.status ? json(*tile.status) : json(nullptr)},
              {"since", TimeJson(tile.since)},
              {"operator", tile.operator_name},
              {"job", tile.job},
              {"operation", tile.operation},
              {"part", tile.part},
              {"shift", tile.shift_name},
              {"chart_date", tile.chart_date ? json(tile.chart_date->ToTextSeconds().substr(0, 10))
                                             : json(nullptr)},
              {"good", tile.good},
              {"scrap", tile.scrap},
              {"oee", RatioJson(tile.oee)},
              {"availability", RatioJson(tile.availability)},
              {"performance", RatioJson(tile.performance)},
              {"quality", RatioJson(tile.quality)}};
}

json TilesJson(const std::vector<MachineTile>& tiles) {
  json array = json::array();
  for (const MachineTile& tile : tiles) array.push_back(TileJson(tile));
  return array;
}

json EventJson(const MachineEvent& event) {
  return json{{"start", TimeJson(event.start)},
              {"stop", TimeJson(event.stop)},
              {"command", event.command},
              {"type", event.type_code ? json(*event.type_code) : json(nullptr)},
              {"param", event.param}};
}

}  // namespace web
