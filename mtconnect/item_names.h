// Which data items of a machine's stream mean what. The defaults are the
// MTConnect standard names in lower case; a plant names its adapter's own
// items ("execution=pexecution,part_count=ppartcount,...").
#ifndef VOLTRANE_MTCONNECT_ITEM_NAMES_H_
#define VOLTRANE_MTCONNECT_ITEM_NAMES_H_

#include <string>
#include <string_view>

namespace mtconnect {

enum class ItemRole { kNone, kExecution, kPartCount, kProgram, kOperator, kAvailability, kEstop };

struct ItemNames {
  std::string execution = "execution";
  std::string part_count = "part_count";
  std::string program = "program";
  std::string operator_name = "operator";
  std::string availability = "availability";
  std::string estop = "emergency_stop";

  // The role of an item name, kNone for an item the mapping does not use.
  ItemRole RoleOf(std::string_view item) const;

  // Sets one role by its key ("execution", "part_count", "program",
  // "operator", "availability", "estop"). False for an unknown key.
  bool Set(std::string_view key, std::string name);
};

// Applies "key=name,key=name" to `names`. False with a message naming the
// faulty entry (unknown key, missing "=", empty name).
bool ApplyItemList(std::string_view list, ItemNames& names, std::string& message);

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_ITEM_NAMES_H_
