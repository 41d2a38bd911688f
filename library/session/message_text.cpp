#include "library/session/message_text.h"

#include "dbaccess/database_connection.h"

namespace korvex7::internal {

std::string MessageTextForId(int32_t id) {
  if (id == kMessageFailedLogon) return "Failed Logon";
  if (id >= 830 && id <= 834) return voltrane::DatabaseLabelText(id);
  return "Unknown id #" + std::to_string(id);
}

}  // namespace korvex7::internal
