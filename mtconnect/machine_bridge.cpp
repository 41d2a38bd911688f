#include "mtconnect/machine_bridge.h"

#include <fmt/format.h>

#include "mtconnect/utc_time.h"

namespace mtconnect {

MachineBridge::MachineBridge(std::string machine_number, MappingOptions options, CommandSink& sink,
                             Reporter& reporter)
    : machine_number_(std::move(machine_number)),
      mapper_(std::move(options)),
      sink_(sink),
      reporter_(reporter) {}

void MachineBridge::OnConnected(bool connected) {
  if (status_) status_->SetConnected(connected);
}

void MachineBridge::OnMessage() {
  if (status_) ++status_->messages;
}

void MachineBridge::OnShdrLine(const ShdrLine& line, const std::string& where) {
  OnMessage();
  if (line.kind == ShdrLineKind::kMalformed) {
    if (status_) ++status_->malformed;
    ++malformed_reported_;
    if (malformed_reported_ <= kMalformedReportLimit) {
      Warning(fmt::format("malformed SHDR {} skipped: {}", where, line.text));
    }
    if (malformed_reported_ == kMalformedReportLimit) {
      Warning("further malformed lines are only counted");
    }
    return;
  }
  if (line.kind != ShdrLineKind::kData) return;
  for (const auto& [item, value] : line.items) {
    OnObservation(Observation{line.utc_ms, item, value, ""});
  }
}

void MachineBridge::OnObservation(const Observation& observation) {
  ++counts_.observations;
  bool unknown = false;
  for (const LogCommand& command : mapper_.Observe(observation, &unknown)) {
    std::string error;
    const std::string at = LocalWallClock(command.utc_ms).ToText();
    if (sink_.Append(command, error)) {
      ++counts_.commands;
      if (status_) ++status_->commands;
      Info(fmt::format("{} at {}", DescribeCommand(command), at));
    } else {
      ++counts_.failed_commands;
      if (status_) ++status_->failed_commands;
      Error(fmt::format("{} at {} not appended: {}", DescribeCommand(command), at, error));
    }
  }
  if (unknown) ++counts_.unknown_observations;
}

void MachineBridge::ReportTotals(const ShdrCounts* lines) {
  std::string text;
  if (lines != nullptr) {
    text = fmt::format("{} lines ({} data, {} skipped asset lines, {} malformed), ", lines->lines,
                       lines->data_lines, lines->skipped_lines, lines->malformed_lines);
  }
  text += fmt::format("{} observations ({} of unmapped items), {} commands appended, {} refused",
                      counts_.observations, counts_.unknown_observations, counts_.commands,
                      counts_.failed_commands);
  Info(text);
}

std::string MachineBridge::Prefixed(const std::string& text) const {
  return fmt::format("Machine {}: {}", machine_number_, text);
}

}  // namespace mtconnect
