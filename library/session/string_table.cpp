#include "library/session/string_table.h"

#include <map>
#include <utility>

namespace korvex7::internal {

namespace {

const std::map<int32_t, std::string>& Table() {
  static const std::map<int32_t, std::string> table = {
      {101, "Refresh Machine Status failed."},
      {103, "Logon Start failed because the database is currently locked."},
      {104, "Logon End failed because the database is currently locked."},
      {105, "Job Start failed because the database is currently locked."},
      {106, "Job End failed because the database is currently locked."},
      {107, "Operation Start failed because the database is currently locked."},
      {108, "Operation End failed because the database is currently locked."},
      {109, "Part Start failed because the database is currently locked."},
      {110, "Part End failed because the database is currently locked."},
      {111, "Setup Start failed because the database is currently locked."},
      {112, "Setup End failed because the database is currently locked."},
      {113, "Teardown Start failed because the database is currently locked."},
      {114, "Teardown End failed because the database is currently locked."},
      {115, "Machine Downtime Start failed because the database is currently locked."},
      {116, "Machine Downtime End failed because the database is currently locked."},
      {117, "User Downtime Start failed because the database is currently locked."},
      {118, "User Downtime End failed because the database is currently locked."},
      {119, "Cycle Start failed because the database is currently locked."},
      {120, "Cycle End failed because the database is currently locked."},
      {121, "Good Part Count failed because the database is currently locked."},
      {122, "Scrapped Part Count failed because the database is currently locked."},
      {123, "Custom Start failed because the database is currently locked."},
      {124, "Custom End failed because the database is currently locked."},
      {125, "Custom Both failed because the database is currently locked."},
  };
  return table;
}

}  // namespace

std::optional<std::string> StringTableText(int32_t id) {
  const auto found = Table().find(id);
  if (found == Table().end()) return std::nullopt;
  return found->second;
}

std::string FillPlaceholders(std::string text, const std::array<std::string, 7>& inserts) {
  for (size_t k = 0; k < inserts.size(); ++k) {
    const std::string placeholder = "%" + std::to_string(k + 1);
    const size_t at = text.find(placeholder);
    if (inserts[k].empty() || at == std::string::npos) continue;
    text.replace(at, placeholder.size(), inserts[k]);
  }
  return text;
}

std::string LoadResMessage(int32_t id, const std::string& insert1, const std::string& insert2,
                           const std::string& insert3, const std::string& insert4,
                           const std::string& insert5, const std::string& insert6,
                           const std::string& insert7) {
  try {
    std::optional<std::string> text = StringTableText(id);
    if (!text) return kStringResourceError;
    return FillPlaceholders(std::move(*text),
                            {insert1, insert2, insert3, insert4, insert5, insert6, insert7});
  } catch (...) {
    return kStringResourceError;
  }
}

}  // namespace korvex7::internal
