// The events of the machines' commands over a window of time, as the
// timeline and the loss model read them: every event begun inside the
// window, and of each status command (setup, cycle, teardown, downtimes) the
// last one begun before it when it is still running at the window's start.
// An open event ends at `open_end`. Database failures throw dbaccess::DbError.
// One thread per connection.
#ifndef VOLTRANE_REPORTS_COMMAND_EVENTS_H_
#define VOLTRANE_REPORTS_COMMAND_EVENTS_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"

namespace reports {

inline constexpr int32_t kTypeLogon = 4;
inline constexpr int32_t kTypeJob = 5;
inline constexpr int32_t kTypePart = 6;
inline constexpr int32_t kTypeSetup = 8;
inline constexpr int32_t kTypeCycle = 9;
inline constexpr int32_t kTypeTeardown = 10;
inline constexpr int32_t kTypeMachineDowntime = 11;
inline constexpr int32_t kTypeUserDowntime = 12;

struct CommandEvent {
  dbaccess::DateTime start;
  dbaccess::DateTime stop;
  int32_t type = 0;  // COMMAND_TYPE_CODE
  std::string param;
};

// COMMAND_ID to COMMAND_TYPE_CODE of the commands whose type is in `wanted`.
std::map<int64_t, int32_t> ReadCommandTypes(const dbaccess::ConnectionPtr& connection,
                                            int32_t kind, const std::vector<int32_t>& wanted);

// The events of the commands in `types` for the machines of `machine_ids` (a
// comma-separated list), by MACHINE_ID.
std::map<int64_t, std::vector<CommandEvent>> ReadCommandEvents(
    const dbaccess::ConnectionPtr& connection, int32_t kind,
    const std::map<int64_t, int32_t>& types, const std::string& machine_ids,
    const dbaccess::DateTime& from, const dbaccess::DateTime& to,
    const dbaccess::DateTime& open_end);

// "1, 2, 3", or "-1" (no id) for an empty list.
std::string IdList(const std::vector<int64_t>& ids);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_COMMAND_EVENTS_H_
