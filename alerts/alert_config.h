// The alert rules and webhooks `korvex7 serve` evaluates, read from a TOML
// file (/etc/voltrane/alerts.toml, or --alerts FILE;
// packaging/alerts.toml.example shows every key):
//
//   interval_seconds = 5                 # between evaluations, 1 to 5
//   board_url = "http://board:8080"      # base of each alert's machine page url
//                                        # (default: the board's own address)
//   queue_limit = 1000                   # posts kept per webhook while it is down
//   [[webhook]]
//   url = "http://10.20.1.9:9000/hooks/mdc"
//   [[rule]]
//   name = "long stop"
//   kind = "downtime"                    # downtime | silent | backlog | failing
//   minutes = 15                         # downtime, silent
//   seconds = 300                        # backlog
//   codes = ["100", "110"]               # downtime: only these codes
//   include_planned = false              # downtime: planned codes count too
#ifndef VOLTRANE_ALERTS_ALERT_CONFIG_H_
#define VOLTRANE_ALERTS_ALERT_CONFIG_H_

#include <cstddef>
#include <string>
#include <vector>

namespace alerts {

enum class RuleKind { kDowntime, kSilent, kBacklog, kFailing };

const char* RuleKindName(RuleKind kind);

struct AlertRule {
  std::string name;
  RuleKind kind = RuleKind::kDowntime;
  int minutes = 0;                  // downtime, silent
  int seconds = 0;                  // backlog
  std::vector<std::string> codes;   // downtime: DOWNTIME_CODE_NUMBERs; empty: every code
  bool include_planned = false;     // downtime
};

struct Webhook {
  std::string url;  // http://host[:port]/path
};

struct AlertConfig {
  std::vector<AlertRule> rules;
  std::vector<Webhook> webhooks;
  int interval_seconds = 5;
  std::string board_url;  // "": the caller fills in the board's address
  size_t queue_limit = 1000;
};

// False with a message naming the file, the table and the key at fault.
bool LoadAlertConfig(const std::string& path, AlertConfig& config, std::string& message);

}  // namespace alerts

#endif  // VOLTRANE_ALERTS_ALERT_CONFIG_H_
