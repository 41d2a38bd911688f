// Reading the alerts file.
#include "alerts/alert_config.h"

#include <fmt/format.h>

#include <array>
#include <set>
#include <toml++/toml.h>
#include <utility>

namespace alerts {
namespace {

constexpr std::array<std::pair<const char*, RuleKind>, 4> kKinds = {{
    {"downtime", RuleKind::kDowntime},
    {"silent", RuleKind::kSilent},
    {"backlog", RuleKind::kBacklog},
    {"failing", RuleKind::kFailing},
}};

bool KnownKeys(const toml::table& table, const std::set<std::string>& keys,
               const std::string& where, std::string& message) {
  for (const auto& [key, node] : table) {
    if (keys.count(std::string(key.str())) == 0) {
      message = fmt::format("{}: unknown key \"{}\"", where, key.str());
      return false;
    }
  }
  return true;
}

bool PositiveInteger(const toml::table& table, const char* key, const std::string& where,
                     int& value, std::string& message) {
  const toml::node* node = table.get(key);
  if (node == nullptr) return true;
  const std::optional<int64_t> number = node->value<int64_t>();
  if (!number || *number <= 0 || *number > 1000000) {
    message = fmt::format("{}: \"{}\" must be a positive whole number", where, key);
    return false;
  }
  value = static_cast<int>(*number);
  return true;
}

bool ReadRule(const toml::table& table, const std::string& where, AlertRule& rule,
              std::string& message) {
  if (!KnownKeys(table, {"name", "kind", "minutes", "seconds", "codes", "include_planned"}, where,
                 message)) {
    return false;
  }
  rule.name = table["name"].value_or(std::string());
  if (rule.name.empty()) {
    message = where + ": \"name\" is missing";
    return false;
  }
  const std::string kind = table["kind"].value_or(std::string());
  bool known = false;
  for (const auto& [name, value] : kKinds) {
    if (kind == name) {
      rule.kind = value;
      known = true;
    }
  }
  if (!known) {
    message = fmt::format("{}: \"kind\" must be downtime, silent, backlog or failing", where);
    return false;
  }
  if (!PositiveInteger(table, "minutes", where, rule.minutes, message) ||
      !PositiveInteger(table, "seconds", where, rule.seconds, message)) {
    return false;
  }
  if ((rule.kind == RuleKind::kDowntime || rule.kind == RuleKind::kSilent) && rule.minutes == 0) {
    message = where + ": \"minutes\" is missing";
    return false;
  }
  if (rule.kind == RuleKind::kBacklog && rule.seconds == 0) {
    message = where + ": \"seconds\" is missing";
    return false;
  }
  if (const toml::array* codes = table["codes"].as_array()) {
    for (const toml::node& code : *codes) {
      const std::optional<std::string> text = code.value<std::string>();
      if (!text) {
        message = where + ": \"codes\" must be a list of texts";
        return false;
      }
      rule.codes.push_back(*text);
    }
  }
  rule.include_planned = table["include_planned"].value_or(false);
  return true;
}

}  // namespace

const char* RuleKindName(RuleKind kind) {
  for (const auto& [name, value] : kKinds) {
    if (value == kind) return name;
  }
  return "unknown";
}

bool LoadAlertConfig(const std::string& path, AlertConfig& config, std::string& message) {
  toml::table root;
  try {
    root = toml::parse_file(path);
  } catch (const toml::parse_error& error) {
    message = fmt::format("{}: {}", path, error.description());
    if (error.source().begin.line > 0) message += fmt::format(" (line {})", error.source().begin.line);
    return false;
  }
  if (!KnownKeys(root, {"interval_seconds", "board_url", "queue_limit", "webhook", "rule"}, path,
                 message) ||
      !PositiveInteger(root, "interval_seconds", path, config.interval_seconds, message)) {
    return false;
  }
  if (config.interval_seconds > 5) {
    message = path + ": \"interval_seconds\" must be at most 5";
    return false;
  }
  int queue_limit = static_cast<int>(config.queue_limit);
  if (!PositiveInteger(root, "queue_limit", path, queue_limit, message)) return false;
  config.queue_limit = static_cast<size_t>(queue_limit);
  config.board_url = root["board_url"].value_or(config.board_url);
  if (const toml::array* hooks = root["webhook"].as_array()) {
    for (size_t i = 0; i < hooks->size(); ++i) {
      const std::string where = fmt::format("{}: webhook {}", path, i + 1);
      const toml::table* table = (*hooks)[i].as_table();
      if (table == nullptr || !KnownKeys(*table, {"url"}, where, message)) {
        if (table == nullptr) message = where + ": not a table";
        return false;
      }
      Webhook hook{(*table)["url"].value_or(std::string())};
      if (hook.url.rfind("http://", 0) != 0) {
        message = where + ": \"url\" must be an http:// URL";
        return false;
      }
      config.webhooks.push_back(std::move(hook));
    }
  }
  if (const toml::array* rules = root["rule"].as_array()) {
    for (size_t i = 0; i < rules->size(); ++i) {
      const std::string where = fmt::format("{}: rule {}", path, i + 1);
      const toml::table* table = (*rules)[i].as_table();
      if (table == nullptr) {
        message = where + ": not a table";
        return false;
      }
      AlertRule rule;
      if (!ReadRule(*table, where, rule, message)) return false;
      config.rules.push_back(std::move(rule));
    }
  }
  return true;
}

}  // namespace alerts
