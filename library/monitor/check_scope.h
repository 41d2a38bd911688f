// What the idle-time checks of a collector group's member look at: the
// machines of the partitions it holds. The downtime check keeps one schedule
// per partition, stored with the partition and written in the batch that ran
// the check, so that whoever holds the partition next continues it. A
// partition's rows come in key order whichever member processes them, so its
// checks end the same downtimes at the same rows' times however the
// partitions move and whenever a member dies. Processing thread only.
#ifndef VOLTRANE_LIBRARY_MONITOR_CHECK_SCOPE_H_
#define VOLTRANE_LIBRARY_MONITOR_CHECK_SCOPE_H_

#include <cstdint>
#include <map>
#include <optional>

#include "dbaccess/date_time.h"

namespace korvex7::internal {

class CheckScope {
 public:
  virtual ~CheckScope() = default;
  // The machine's partition when it is held; nullopt otherwise.
  virtual std::optional<int32_t> HeldPartition(int32_t lMachineID) const = 0;
  // The partitions held, each with the fence it was taken at: a partition
  // held again after another member had it has a new fence.
  virtual const std::map<int32_t, int64_t>& HeldPartitions() const = 0;
  // Whether every row of the partition was found processed since it was taken.
  virtual bool PartitionDrained(int32_t lPartition) const = 0;
  // The time of the partition's last downtime check, as committed or as the
  // open batch wrote it; nullopt when it was never checked.
  virtual std::optional<dbaccess::DateTime> ReadDowntimeCheck(int32_t lPartition) = 0;
  // Inside the batch that ran the check; a refused write is traced.
  virtual void WriteDowntimeCheck(int32_t lPartition, const dbaccess::DateTime& dtTime) = 0;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_MONITOR_CHECK_SCOPE_H_
