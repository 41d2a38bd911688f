#include "mtconnect/observation_mapper.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace mtconnect {

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A counter value: a whole number (a fraction is rounded); nullopt otherwise.
std::optional<int64_t> CountValue(const std::string& value) {
  double number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (error != std::errc() || end != value.data() + value.size() || !std::isfinite(number) ||
      std::fabs(number) > 9e15) {
    return std::nullopt;
  }
  return static_cast<int64_t>(std::llround(number));
}

constexpr const char* kUnavailable = "UNAVAILABLE";

}  // namespace

std::vector<LogCommand> ObservationMapper::Observe(const Observation& observation, bool* unknown) {
  ItemRole role = options_.items.RoleOf(observation.item);
  if (role == ItemRole::kNone) role = options_.items.RoleOf(observation.name);
  if (unknown != nullptr) *unknown = role == ItemRole::kNone;
  std::vector<LogCommand> out;
  const std::string upper = Upper(observation.value);
  const int64_t at = observation.utc_ms;
  switch (role) {
    case ItemRole::kNone:
      break;
    case ItemRole::kExecution:
      Execution(upper, at, out);
      break;
    case ItemRole::kPartCount:
      PartCount(upper, at, out);
      break;
    case ItemRole::kProgram:
      NamedStart(program_, options_.program_starts_job ? kJobCommand : kPartCommand,
                 observation.value, at, out);
      break;
    case ItemRole::kOperator:
      NamedStart(operator_, kLogonCommand, observation.value, at, out);
      break;
    case ItemRole::kAvailability:
      if (upper == kUnavailable || upper == "AVAILABLE") {
        Downtime(unavailable_, upper == kUnavailable, options_.downtime_code, at, out);
      }
      break;
    case ItemRole::kEstop:
      if (upper == "TRIGGERED" || upper == "ARMED") {
        Downtime(estop_, upper == "TRIGGERED",
                 options_.estop_downtime_code.empty() ? options_.downtime_code
                                                      : options_.estop_downtime_code,
                 at, out);
      }
      break;
  }
  return out;
}

void ObservationMapper::Execution(const std::string& value, int64_t at,
                                  std::vector<LogCommand>& out) {
  if (value == kUnavailable || value.empty()) return;
  const bool was_active = execution_ == "ACTIVE";
  const bool is_active = value == "ACTIVE";
  execution_ = value;
  if (is_active && !was_active) out.push_back({kCycleCommand, kStartCode, "", at});
  if (was_active && !is_active) out.push_back({kCycleCommand, kEndCode, "", at});
}

void ObservationMapper::PartCount(const std::string& value, int64_t at,
                                  std::vector<LogCommand>& out) {
  const std::optional<int64_t> count = CountValue(value);
  if (!count) return;
  if (part_count_ && *count > *part_count_) {
    out.push_back({kGoodCountCommand, kBothCode, std::to_string(*count - *part_count_), at});
  }
  part_count_ = count;
}

void ObservationMapper::NamedStart(std::optional<std::string>& last, int32_t type_code,
                                   const std::string& value, int64_t at,
                                   std::vector<LogCommand>& out) {
  if (Upper(value) == kUnavailable) return;
  const bool changed = last != value;
  last = value;
  if (changed && !value.empty()) out.push_back({type_code, kStartCode, value, at});
}

void ObservationMapper::Downtime(bool& cause, bool now_down, const std::string& code, int64_t at,
                                 std::vector<LogCommand>& out) {
  const bool was_down = unavailable_ || estop_;
  cause = now_down;
  const bool is_down = unavailable_ || estop_;
  if (is_down && !was_down) out.push_back({kMachineDowntimeCommand, kStartCode, code, at});
  if (was_down && !is_down) out.push_back({kMachineDowntimeCommand, kEndCode, "", at});
}

}  // namespace mtconnect
