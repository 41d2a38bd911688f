// The machines and shifts a report names, read once per report so that the
// statements over the records group by keys alone, without joins. DbError on
// failure; one thread per connection.
#ifndef VOLTRANE_REPORTS_MACHINE_DIRECTORY_H_
#define VOLTRANE_REPORTS_MACHINE_DIRECTORY_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dbaccess/connection.h"

namespace reports {

struct MachineEntry {
  std::string number;  // MACHINE_NUMBER
  std::string name;    // MACHINE_NAME, "" when none
};

// MACHINE_ID to number and name, of the machines named (every machine when
// `machines` is empty; numbers without a machine are left out).
std::map<int64_t, MachineEntry> ReadMachines(const dbaccess::ConnectionPtr& connection,
                                             int32_t kind,
                                             const std::vector<std::string>& machines);

// SHIFT_ID to SHIFT_NAME.
std::map<int64_t, std::string> ReadShiftNames(const dbaccess::ConnectionPtr& connection,
                                              int32_t kind);

// " and <column> in (1, 2)" for the machines read, or "" when every machine
// was asked for.
std::string MachineIdFilter(const std::string& column, const std::map<int64_t, MachineEntry>& read,
                            const std::vector<std::string>& asked);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_MACHINE_DIRECTORY_H_
