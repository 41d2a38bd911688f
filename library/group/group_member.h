// GroupMember: one collector's part in a collector group (group_tables.h).
// Several collectors process one server database's log; the machines are
// divided into partitions, and each partition is processed by the member
// that holds its lease, strictly in key order, others in parallel.
//
// The protocol, all of it on the database's clock:
// - Join: one transaction on the locked group row inserts a new incarnation;
//   with no other member live it starts a new epoch whose start work (schema
//   checks, machine pointer repair) this member runs once for the group.
// - Tick (between batches, at most every third of the lease): renews the
//   member's sign of life and its leases (leases not renewed in time are
//   lost), then takes or releases partitions until it holds its fair share
//   of the live members' (sorted by incarnation: floor(P/M), the first P mod
//   M one more), so joining or leaving moves as few partitions as possible.
//   A take is a conditional update (free or expired) and moves the fence.
// - Fence: just before a batch commits, inside its transaction, the leases
//   of every partition in the batch are renewed with the fence each was
//   taken at; one missing means another member took it, and the batch is
//   refused. The row locks that update takes make a concurrent take-over wait
//   for the commit and then see the renewed lease: exactly one of them wins.
//   A member paused inside a transaction loses its session after half the
//   lease (idle_in_transaction_session_timeout), so it cannot hold those
//   locks against the new owner for longer.
// - Leave: releases the partitions and marks the incarnation left.
//
// May touch: the group's tables, option 14 (read). Database errors escape as
// DbError. Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_GROUP_GROUP_MEMBER_H_
#define VOLTRANE_LIBRARY_GROUP_GROUP_MEMBER_H_

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "dbaccess/date_time.h"
#include "library/core/log_entry.h"
#include "library/group/group_tables.h"
#include "library/monitor/check_scope.h"
#include "library/session/session.h"

namespace korvex7::internal {

class GroupMember : public SessionClient, public CheckScope {
 public:
  GroupMember(Session& session, group::GroupRow group, std::string strMember);

  // Joins as a new incarnation (see above); the first tick follows at once.
  void Join();
  bool Joined() const { return m_lIncarnation != 0; }
  // Releases the partitions and leaves; never throws.
  void Leave();
  // Whether a tick is due (a third of the lease since the last).
  bool TickDue();
  // Renews and rebalances; never inside an open batch.
  void Tick();
  // The start work of the epoch: whether this member must run it now (it is
  // the starter, or the starter went stale before finishing and this member
  // took it over), and whether it is done.
  bool StartWorkPending();
  bool StartWorkDone();
  void MarkStartWorkDone();

  // The condition the batch statement adds ("1 = 0" when nothing is owned).
  std::string BatchCondition() const;
  bool OwnsAny() const { return !m_owned.empty(); }
  // The partition of a log row, as this member last read the partitions.
  int32_t PartitionOf(const MachineKeys& keys) const;
  // The partition and the fence it was taken at, while the machine is in a
  // partition this member holds: another take of it gives another pair.
  std::optional<std::pair<int64_t, int64_t>> MachineOwnership(int32_t lMachineID) const;
  // Whether two machines are in one partition, as last read.
  bool SamePartition(int32_t lMachineA, int32_t lMachineB) const;
  // Inside the batch's transaction: renews the leases of the batch's
  // partitions at the fences they were taken at; false with a text when one
  // is lost (they are then all dropped until the next tick).
  bool FenceBatch(const std::set<int32_t>& partitions, std::string& strError);
  // Forces a tick at the next chance (a refused batch).
  void ForgetOwnership();
  // The batch load found no row of any partition held: each is drained at
  // the fence it is held at (a partition taken again is not, until found so).
  void NoteDrained() { m_drained = m_owned; }

  // What the idle-time checks look at (check_scope.h); the check times live
  // in the partition table, written by the owner inside its batch.
  std::optional<int32_t> HeldPartition(int32_t lMachineID) const override;
  const std::map<int32_t, int64_t>& HeldPartitions() const override { return m_owned; }
  bool PartitionDrained(int32_t lPartition) const override;
  std::optional<dbaccess::DateTime> ReadDowntimeCheck(int32_t lPartition) override;
  void WriteDowntimeCheck(int32_t lPartition, const dbaccess::DateTime& dtTime) override;

  double LeaseSeconds() const { return m_group.dLeaseSeconds; }
  int64_t Incarnation() const { return m_lIncarnation; }
  const std::string& GroupName() const { return m_group.strName; }
  const std::map<int32_t, int64_t>& Owned() const { return m_owned; }

 private:
  int64_t LeaseMilliseconds() const;
  // Makes the server end this member's session when a transaction of it
  // idles for half the lease (see above); once per connection.
  void LimitIdleTransactions();
  void AddDowntimeCheckColumn();
  int32_t MachinePartition(int32_t lMachineID) const;
  void ReadMachinePartitions();
  void Rebalance();

  Session& m_session;  // for the group row, which the tool reads too
  group::GroupRow m_group;
  std::string m_strMember;
  int64_t m_lIncarnation = 0;  // 0 until joined
  int64_t m_lEpoch = 0;        // the epoch joined in
  bool m_bStartWorkDone = false;
  std::map<int32_t, int64_t> m_owned;   // partition key -> the fence it was taken at
  std::map<int32_t, int64_t> m_drained;  // partitions found drained, at their fences
  std::set<int32_t> m_partitionKeys;    // every partition, -1 included
  std::map<int32_t, int32_t> m_machinePartition;  // machine -> partition key
  dbaccess::DateTime m_dtLastTick;
  bool m_bTickForced = true;
  int32_t m_lTicksSinceSync = 0;
  int64_t m_lLimitedConnection = -1;  // the connection serial the limit was set on
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_GROUP_GROUP_MEMBER_H_
