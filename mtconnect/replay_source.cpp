#include "mtconnect/replay_source.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>

#include "mtconnect/shdr_reader.h"

namespace mtconnect {

bool RunReplay(const ReplayOptions& options, MachineBridge& bridge, const StopSignal& stop) {
  std::ifstream file(options.path, std::ios::binary);
  if (!file) {
    bridge.Error(fmt::format("cannot read {}: {}", options.path, std::strerror(errno)));
    return false;
  }
  bridge.Info(fmt::format("replaying {} at speed {}", options.path, options.speed));
  ShdrReader reader;
  std::optional<int64_t> previous;
  std::string line;
  uint64_t number = 0;
  while (!stop.Stopped() && std::getline(file, line)) {
    ++number;
    const ShdrLine parsed = reader.Next(line);
    if (options.speed > 0 && parsed.kind == ShdrLineKind::kData) {
      if (previous && parsed.utc_ms > *previous) {
        const auto wait = std::chrono::milliseconds(
            static_cast<int64_t>(static_cast<double>(parsed.utc_ms - *previous) / options.speed));
        if (!stop.WaitFor(wait)) break;
      }
      previous = parsed.utc_ms;
    }
    bridge.OnShdrLine(parsed, fmt::format("line {}", number));
  }
  if (file.bad()) bridge.Error(fmt::format("reading {} failed", options.path));
  bridge.ReportTotals(&reader.counts());
  return !file.bad();
}

}  // namespace mtconnect
