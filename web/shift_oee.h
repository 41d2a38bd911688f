// Placeholder while the reports are being built.
#ifndef VOLTRANE_WEB_SHIFT_OEE_H_
#define VOLTRANE_WEB_SHIFT_OEE_H_

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "web/machine_board.h"

namespace web {

void FillShiftOee(const dbaccess::ConnectionPtr& reads, int32_t kind,
                  std::vector<MachineTile>& tiles);
std::string MachineDayTimeline(const dbaccess::ConnectionPtr& reads, int32_t kind,
                               const MachineTile& tile, const dbaccess::DateTime& now);
nlohmann::json OeeRowsJson(const dbaccess::ConnectionPtr& reads, int32_t kind,
                           const dbaccess::DateTime& from, const dbaccess::DateTime& to);

}  // namespace web

#endif  // VOLTRANE_WEB_SHIFT_OEE_H_
