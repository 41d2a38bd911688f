// The systemd unit text.
#include "service/systemd_unit.h"

#include <fmt/format.h>

#include <cstdlib>

#include "service/service_identity.h"

namespace voltrane {
namespace {

// A double-quoted unit-file word: "%" would start a specifier, "\" and '"' an escape.
std::string QuotedUnitWord(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '%') {
      quoted += "%%";
    } else if (c == '\\' || c == '"') {
      quoted += '\\';
      quoted += c;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

}  // namespace

std::string SystemdUnitDir() {
  const char* dir = std::getenv("VOLTRANE_SYSTEMD_UNIT_DIR");
  return dir && *dir ? dir : "/etc/systemd/system";
}

std::string SystemdUnitPath() { return SystemdUnitDir() + "/" + kUnitName; }

std::string SystemdUnitText(const std::string& program_path, const std::string& machine_store) {
  std::string environment;
  if (!machine_store.empty()) {
    environment =
        fmt::format("Environment={}\n", QuotedUnitWord("VOLTRANE_MACHINE_STORE=" + machine_store));
  }
  return fmt::format(
      "# Written by \"voltrane-collector -Service\"; removed by \"voltrane-collector "
      "-UnregServer\".\n"
      "[Unit]\n"
      "Description={}\n"
      "After=network-online.target\n"
      "Wants=network-online.target\n"
      "\n"
      "[Service]\n"
      "Type=notify\n"
      "NotifyAccess=main\n"
      "ExecStart={}\n"
      "Restart=on-failure\n"
      "RestartSec=5\n"
      "# The worker is allowed 5 seconds to end after SIGTERM.\n"
      "TimeoutStopSec=15\n"
      "# The machine settings store is readable by root only.\n"
      "User=root\n"
      "{}"
      "\n"
      "[Install]\n"
      "WantedBy=multi-user.target\n",
      kServiceName, QuotedUnitWord(program_path), environment);
}

}  // namespace voltrane
