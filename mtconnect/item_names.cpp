#include "mtconnect/item_names.h"

#include <fmt/format.h>

namespace mtconnect {

ItemRole ItemNames::RoleOf(std::string_view item) const {
  if (item.empty()) return ItemRole::kNone;
  if (item == execution) return ItemRole::kExecution;
  if (item == part_count) return ItemRole::kPartCount;
  if (item == program) return ItemRole::kProgram;
  if (item == operator_name) return ItemRole::kOperator;
  if (item == availability) return ItemRole::kAvailability;
  if (item == estop) return ItemRole::kEstop;
  return ItemRole::kNone;
}

bool ItemNames::Set(std::string_view key, std::string name) {
  std::string* slot = key == "execution"      ? &execution
                      : key == "part_count"   ? &part_count
                      : key == "program"      ? &program
                      : key == "operator"     ? &operator_name
                      : key == "availability" ? &availability
                      : key == "estop"        ? &estop
                                              : nullptr;
  if (slot == nullptr) return false;
  *slot = std::move(name);
  return true;
}

bool ApplyItemList(std::string_view list, ItemNames& names, std::string& message) {
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view entry = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    if (entry.empty()) continue;
    const size_t equals = entry.find('=');
    if (equals == std::string_view::npos || equals + 1 == entry.size()) {
      message = fmt::format("Item entry \"{}\" is not key=name.", entry);
      return false;
    }
    if (!names.Set(entry.substr(0, equals), std::string(entry.substr(equals + 1)))) {
      message = fmt::format(
          "Unknown item key \"{}\": use execution, part_count, program, operator, availability or "
          "estop.",
          entry.substr(0, equals));
      return false;
    }
  }
  return true;
}

}  // namespace mtconnect
