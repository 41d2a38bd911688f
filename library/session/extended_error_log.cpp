#include "library/session/extended_error_log.h"

#include <cstdio>

#include "dbaccess/date_time.h"
#include "settings/reg_settings.h"

namespace korvex7::internal {

namespace {

struct ExtendedErrorLogState {
  std::string path;
  bool enabled = false;
  bool file_open = false;
};

thread_local ExtendedErrorLogState state;

}  // namespace

void ReadExtendedErrorLogSetting() {
  voltrane::CRegSettings settings;
  state.path = settings.GetMachineStringValue(voltrane::kServiceKey, "ExtendedErrorLog", "");
  state.enabled = !state.path.empty();
}

void WriteExtendedErrorLog(const std::string& message) {
  if (!state.enabled || state.file_open) return;
  std::FILE* file = std::fopen(state.path.c_str(), "ab");
  if (file == nullptr) return;
  state.file_open = true;
  const std::string line = dbaccess::DateTime::Now().ToTextSeconds() + " - " + message + "\r\n";
  std::fwrite(line.data(), 1, line.size(), file);
  std::fclose(file);
  state.file_open = false;
}

bool ExtendedErrorLogEnabled() { return state.enabled; }

const std::string& ExtendedErrorLogPath() { return state.path; }

}  // namespace korvex7::internal
