// ObservationMapper: the state machine that turns one machine's observations
// into log commands.
//
//   execution     becomes ACTIVE: cycle start; leaves ACTIVE: cycle end
//   part_count    first value: the baseline; a rise by n: good part count n;
//                 a fall: a counter reset, which only moves the baseline
//   program       changes to a non-empty name: part start (or job start)
//   operator      changes to a non-empty name: logon with that name
//   availability  UNAVAILABLE, or estop TRIGGERED: machine downtime start with
//                 the configured code; both back (AVAILABLE, ARMED): its end
//
// UNAVAILABLE of the other items changes nothing, so the value seen again
// after a reconnect (or after an adapter restart) is not a change. The state
// lives as long as the mapper: one per machine for the life of the bridge.
// Values compare without regard to case. Not thread-safe.
#ifndef VOLTRANE_MTCONNECT_OBSERVATION_MAPPER_H_
#define VOLTRANE_MTCONNECT_OBSERVATION_MAPPER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mtconnect/item_names.h"
#include "mtconnect/log_command.h"
#include "mtconnect/observation.h"

namespace mtconnect {

struct MappingOptions {
  ItemNames items;
  bool program_starts_job = false;  // job start instead of part start
  std::string downtime_code;        // parameter of the downtime start ("" none)
  std::string estop_downtime_code;  // for an emergency stop; "" uses downtime_code
};

class ObservationMapper {
 public:
  explicit ObservationMapper(MappingOptions options) : options_(std::move(options)) {}

  // The commands this observation causes, in order; none for an item the
  // mapping does not use. `unknown` (when given) is set for such an item.
  std::vector<LogCommand> Observe(const Observation& observation, bool* unknown = nullptr);

 private:
  void Execution(const std::string& value, int64_t at, std::vector<LogCommand>& out);
  void PartCount(const std::string& value, int64_t at, std::vector<LogCommand>& out);
  void NamedStart(std::optional<std::string>& last, int32_t type_code, const std::string& value,
                  int64_t at, std::vector<LogCommand>& out);
  void Downtime(bool& cause, bool now_down, const std::string& code, int64_t at,
                std::vector<LogCommand>& out);

  MappingOptions options_;
  std::optional<std::string> execution_;  // last known value, upper case
  std::optional<int64_t> part_count_;     // the baseline counts rise from
  std::optional<std::string> program_;
  std::optional<std::string> operator_;
  bool unavailable_ = false;  // the machine reports itself unavailable
  bool estop_ = false;        // the emergency stop is triggered
};

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_OBSERVATION_MAPPER_H_
