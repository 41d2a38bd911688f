#include "web/shift_oee.h"

namespace web {

void FillShiftOee(const dbaccess::ConnectionPtr&, int32_t, std::vector<MachineTile>&) {}
std::string MachineDayTimeline(const dbaccess::ConnectionPtr&, int32_t, const MachineTile&,
                               const dbaccess::DateTime&) {
  return "";
}
nlohmann::json OeeRowsJson(const dbaccess::ConnectionPtr&, int32_t, const dbaccess::DateTime&,
                           const dbaccess::DateTime&) {
  return nlohmann::json::array();
}

}  // namespace web
