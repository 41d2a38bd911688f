// The JSON shapes of the board's API. Times are local wall-clock times of the
// database in ISO form without a zone ("2026-03-02T06:15:00"); ratios have 4
// decimals; absent values are null. Pure functions; thread-safe.
#ifndef VOLTRANE_WEB_BOARD_JSON_H_
#define VOLTRANE_WEB_BOARD_JSON_H_

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/date_time.h"
#include "web/machine_board.h"

namespace web {

// "2026-03-02T06:15:00", or null.
nlohmann::json TimeJson(const std::optional<dbaccess::DateTime>& time);
// Rounded to 4 decimals, or null.
nlohmann::json RatioJson(const std::optional<double>& ratio);

// {"machine", "name", "status", "status_code", "since", "operator", "job",
//  "operation", "part", "shift", "chart_date", "good", "scrap", "oee"}
nlohmann::json TileJson(const MachineTile& tile);
nlohmann::json TilesJson(const std::vector<MachineTile>& tiles);
// {"start", "stop", "command", "type", "param"}
nlohmann::json EventJson(const MachineEvent& event);

}  // namespace web

#endif  // VOLTRANE_WEB_BOARD_JSON_H_
