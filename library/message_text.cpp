#include "library/message_text.h"

namespace voltrane {
// The database labels 830-834 shared with the manager; defined beside the
// connection class (dbaccess/database_connection.cpp).
std::string DatabaseLabelText(int32_t id);
}  // namespace voltrane

std::string MessageTextForId(int32_t id) {
  if (id == kMessageFailedLogon) return "Failed Logon";
  if (id >= 830 && id <= 834) return voltrane::DatabaseLabelText(id);
  return "Unknown id #" + std::to_string(id);
}
