// The small vocabularies of machine data records: which reference a record
// split replaces, the states of a record, and the machine's status codes.
// Plain enums whose values are stored in the database; never renumber them.
#ifndef VOLTRANE_LIBRARY_MACHINE_DATA_KINDS_H_
#define VOLTRANE_LIBRARY_MACHINE_DATA_KINDS_H_

#include <cstdint>

namespace korvex7::internal {

// The reference a record split replaces: the new record does not inherit it.
enum class MachineDataSplitKind : int32_t {
  Shift = 0,
  Job = 1,
  Part = 2,
  User = 3,
  Op = 4,
  SerialNo = 5,
};

// STATUS_CODE of T_SFC_MACHINE_DATA.
enum class MachineDataStatus : int32_t {
  Open = 0,
  Closed = 1,
  Complete = 2,
};

// STATUS_CODE of T_SFC_MACHINE.
enum class MachineStatusCode : int32_t {
  Idle = 0,
  Setup = 1,
  Cycle = 2,
  Downtime = 3,
  Teardown = 4,
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_MACHINE_DATA_KINDS_H_
