#include "mtconnect/bridge_config.h"

#include <fmt/format.h>
#include <toml++/toml.h>

#include <set>

namespace mtconnect {

namespace {

// Reads one [[machine]] table; false with a message on a key of the wrong
// type or an unknown key, so that a typing error does not go unnoticed.
class MachineReader {
 public:
  MachineReader(const toml::table& table, std::string where)
      : table_(table), where_(std::move(where)) {}

  bool Read(MachineConfig& machine, std::string& message) {
    for (const auto& [key, node] : table_) {
      if (!kKeys.contains(std::string(key.str()))) {
        return Fail(message, fmt::format("unknown key \"{}\"", key.str()));
      }
    }
    if (const toml::node* number = table_.get("number")) {
      if (number->is_integer()) {
        machine.machine_number = std::to_string(number->as_integer()->get());
      } else if (number->is_string()) {
        machine.machine_number = number->as_string()->get();
      } else {
        return Fail(message, "\"number\" must be a text or a whole number");
      }
    }
    std::string text;
    int64_t whole = 0;
    if (!String("adapter", text, message)) return false;
    if (!text.empty()) {
      machine.source = SourceKind::kAdapter;
      if (!ParseHostPort(text, machine.adapter.host, machine.adapter.port, message)) {
        return Fail(message, message);
      }
    }
    if (!String("replay", machine.replay.path, message)) return false;
    if (!machine.replay.path.empty()) machine.source = Another(machine.source, SourceKind::kReplay);
    if (!String("agent", machine.agent.url, message)) return false;
    if (!machine.agent.url.empty()) machine.source = Another(machine.source, SourceKind::kAgent);
    if (!String("device", machine.agent.device, message)) return false;
    if (const toml::node* speed = table_.get("speed")) {
      const std::optional<double> value = speed->value<double>();
      if (!value) return Fail(message, "\"speed\" must be a number");
      machine.replay.speed = *value;
    }
    if (!Items(machine.mapping.items, message)) return false;
    if (!String("program_starts", text, message)) return false;
    if (!text.empty() && text != "part" && text != "job") {
      return Fail(message, "\"program_starts\" must be \"part\" or \"job\"");
    }
    machine.mapping.program_starts_job = text == "job";
    if (!String("downtime_code", machine.mapping.downtime_code, message)) return false;
    if (!String("estop_downtime_code", machine.mapping.estop_downtime_code, message)) return false;
    if (Whole("silence_timeout", whole, message)) {
      machine.adapter.silence_limit = std::chrono::seconds(whole);
    }
    if (Whole("retry_max", whole, message)) {
      machine.adapter.retry_max = machine.agent.retry_max = std::chrono::seconds(whole);
    }
    if (Whole("poll_interval", whole, message)) {
      machine.agent.poll_interval = std::chrono::milliseconds(whole);
    }
    return message.empty();
  }

 private:
  static inline const std::set<std::string> kKeys = {
      "number",          "adapter",   "replay",         "speed",         "agent",
      "device",          "items",     "program_starts", "downtime_code", "estop_downtime_code",
      "silence_timeout", "retry_max", "poll_interval"};

  // Two source keys in one machine make it invalid; CheckMachines says so.
  static SourceKind Another(SourceKind before, SourceKind now) {
    return before == SourceKind::kNone ? now : SourceKind::kNone;
  }

  bool Fail(std::string& message, const std::string& what) const {
    message = fmt::format("{}: {}", where_, what);
    return false;
  }

  bool String(const char* key, std::string& value, std::string& message) const {
    value.clear();
    const toml::node* node = table_.get(key);
    if (node == nullptr) return true;
    if (!node->is_string()) return Fail(message, fmt::format("\"{}\" must be a text", key));
    value = node->as_string()->get();
    return true;
  }

  // True when the key is there and holds a positive whole number; a wrong
  // value sets the message.
  bool Whole(const char* key, int64_t& value, std::string& message) const {
    const toml::node* node = table_.get(key);
    if (node == nullptr) return false;
    if (!node->is_integer() || node->as_integer()->get() <= 0) {
      Fail(message, fmt::format("\"{}\" must be a positive whole number", key));
      return false;
    }
    value = node->as_integer()->get();
    return true;
  }

  bool Items(ItemNames& names, std::string& message) const {
    const toml::node* node = table_.get("items");
    if (node == nullptr) return true;
    if (!node->is_table()) return Fail(message, "\"items\" must be a table of key = \"name\"");
    for (const auto& [key, value] : *node->as_table()) {
      if (!value.is_string()) {
        return Fail(message, fmt::format("item \"{}\" must name a data item", key.str()));
      }
      if (!names.Set(key.str(), value.as_string()->get())) {
        return Fail(message, fmt::format("unknown item key \"{}\"", key.str()));
      }
    }
    return true;
  }

  const toml::table& table_;
  const std::string where_;
};

}  // namespace

bool LoadBridgeConfig(const std::string& path, std::vector<MachineConfig>& machines,
                      std::string& message) {
  toml::table root;
  try {
    root = toml::parse_file(path);
  } catch (const toml::parse_error& error) {
    message = fmt::format("{}: {}", path, error.description());
    if (error.source().begin.line > 0) {
      message += fmt::format(" (line {})", error.source().begin.line);
    }
    return false;
  }
  for (const auto& [key, node] : root) {
    if (key.str() != "machine") {
      message =
          fmt::format("{}: unknown key \"{}\" (machines are [[machine]] tables)", path, key.str());
      return false;
    }
  }
  const toml::array* list = root["machine"].as_array();
  if (list == nullptr || list->empty()) {
    message = fmt::format("{}: no [[machine]] table", path);
    return false;
  }
  for (size_t i = 0; i < list->size(); ++i) {
    const toml::table* table = (*list)[i].as_table();
    const std::string where = fmt::format("{}: machine {}", path, i + 1);
    if (table == nullptr) {
      message = where + ": not a table";
      return false;
    }
    MachineConfig machine;
    if (!MachineReader(*table, where).Read(machine, message)) return false;
    machines.push_back(std::move(machine));
  }
  return true;
}

bool CheckMachines(const std::vector<MachineConfig>& machines, std::string& message) {
  std::set<std::string> seen;
  for (size_t i = 0; i < machines.size(); ++i) {
    const MachineConfig& machine = machines[i];
    const std::string name = machine.machine_number.empty()
                                 ? fmt::format("machine {}", i + 1)
                                 : fmt::format("machine {}", machine.machine_number);
    if (machine.machine_number.empty()) {
      message = name + ": no machine number";
      return false;
    }
    if (!seen.insert(machine.machine_number).second) {
      message = name + ": named twice; each machine reads one stream";
      return false;
    }
    if (machine.source == SourceKind::kNone) {
      message = name + ": give exactly one source: an adapter, a replay file or an agent";
      return false;
    }
    if (machine.source == SourceKind::kAgent && machine.agent.device.empty()) {
      message = name + ": an agent needs the device's name";
      return false;
    }
    if (machine.replay.speed < 0) {
      message = name + ": the speed must not be below 0";
      return false;
    }
  }
  return true;
}

}  // namespace mtconnect
