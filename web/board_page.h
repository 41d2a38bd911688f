// The board's HTML pages, self-contained (inline style and script, nothing
// loaded from elsewhere) so that a wall screen needs only this server.
//
// The plant board carries one tile per machine (class "tile", with
// data-machine and data-status), rendered complete on the server so that it
// reads right before the script runs; the script then polls
// /api/v1/machines every few seconds and updates the tiles in place. Pure
// functions; every text from the database is HTML-escaped.
#ifndef VOLTRANE_WEB_BOARD_PAGE_H_
#define VOLTRANE_WEB_BOARD_PAGE_H_

#include <optional>
#include <string>
#include <vector>

#include "dbaccess/date_time.h"
#include "web/machine_board.h"

namespace web {

std::string HtmlEscape(const std::string& text);

// `now` is the database's time; `refresh_seconds` how often the page polls;
// `alerts`, one text each, show as a banner above the tiles (none: no banner).
std::string RenderBoardPage(const std::vector<MachineTile>& tiles, const dbaccess::DateTime& now,
                            int refresh_seconds, const std::vector<std::string>& alerts = {});

// One machine: its tile, the timeline of its day (`timeline_svg`, inline SVG
// or "" when there is none) and its recent events.
std::string RenderMachinePage(const MachineTile& tile, const std::string& timeline_svg,
                              const std::vector<MachineEvent>& events,
                              const dbaccess::DateTime& now);

}  // namespace web

#endif  // VOLTRANE_WEB_BOARD_PAGE_H_
