// The systemd unit text: the packaged template with this program's path.
#include "service/systemd_unit.h"

#include <fmt/format.h>

#include <cstdlib>

#include "service/service_identity.h"
#include "service/systemd_unit_template.h"

namespace voltrane {
namespace {

constexpr const char* kProgramPlaceholder = "\"@VOLTRANE_COLLECTOR_PROGRAM@\"";

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

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

}  // namespace

std::string SystemdUnitDir() {
  const char* dir = std::getenv("VOLTRANE_SYSTEMD_UNIT_DIR");
  return dir && *dir ? dir : "/etc/systemd/system";
}

std::string SystemdUnitPath() { return SystemdUnitDir() + "/" + kUnitName; }

std::string SystemdUnitText(const std::string& program_path, const std::string& machine_store,
                            const std::string& base_folder) {
  std::string text = kSystemdUnitTemplate;
  ReplaceAll(text, kProgramPlaceholder, QuotedUnitWord(program_path));
  std::string settings;
  if (!machine_store.empty()) {
    settings +=
        fmt::format("Environment={}\n", QuotedUnitWord("VOLTRANE_MACHINE_STORE=" + machine_store));
  }
  if (!base_folder.empty()) {
    settings += fmt::format("# The base folder the settings name.\nReadWritePaths={}\n",
                            QuotedUnitWord(base_folder));
  }
  // The additions belong to [Service], the section before [Install].
  const size_t install = text.find("\n[Install]");
  text.insert(install == std::string::npos ? text.size() : install,
              settings.empty() ? "" : "\n" + settings);
  return "# Written by \"voltrane-collector -Service\"; removed by \"voltrane-collector "
         "-UnregServer\".\n" +
         text;
}

}  // namespace voltrane
