// The collector group protocol of one member (see group_member.h).
#include "library/group/group_member.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "dbaccess/elapsed_time.h"
#include "dbaccess/recordset.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

// New master data reaches the partition table every this many ticks.
constexpr int32_t kTicksBetweenSyncs = 5;

using namespace group;

int64_t Int(const dbaccess::Variant& value) {
  return value.IsNull() || value.IsEmpty() ? 0 : value.ToInt64();
}

}  // namespace

GroupMember::GroupMember(Session& session, GroupRow group, std::string strMember)
    : SessionClient(session), m_session(session), m_group(std::move(group)), m_strMember(std::move(strMember)) {}

int64_t GroupMember::LeaseMilliseconds() const {
  return static_cast<int64_t>(m_group.dLeaseSeconds * 1000.0);
}

void GroupMember::LimitIdleTransactions() {
  // A session lasts until the connection is opened again (a reconnect): the
  // setting is made once per connection, not at every tick.
  if (m_lLimitedConnection == m_session.ConnectionSerial()) return;
  ExecuteStatement(dialect().IdleTransactionTimeout(std::max<int64_t>(LeaseMilliseconds() / 2, 1)));
  m_lLimitedConnection = m_session.ConnectionSerial();
}

void GroupMember::Join() {
  LimitIdleTransactions();
  const dbaccess::ConnectionPtr& oConnection = connection();
  const double dLease = m_group.dLeaseSeconds;
  oConnection->BeginTrans();
  try {
    AddDowntimeCheckColumn();
    dbaccess::RecordsetPtr rs = OpenQuery(std::string("select EPOCH from ") + kGroupTable +
                                          " for update");
    const int64_t lEpoch = rs->Eof() ? 0 : Int(rs->Fields("EPOCH").Value());
    CloseRecordset(rs);
    const int64_t lIncarnation =
        Int(GetScalarValue(dialect().NextValueQuery(kIncarnationSequence)));
    if (lIncarnation == 0) throw dbaccess::DbError(-1, "No incarnation could be drawn.");
    ExecuteStatement(fmt::format(
        "insert into {} (INCARNATION, MEMBER_NAME, JOINED, LAST_SEEN, LEFT_GROUP) values ({}, "
        "{}, {}, {}, 0)",
        kMemberTable, lIncarnation, voltrane::QuotedStr(DatabaseType(), m_strMember), kDbNow,
        kDbNow));
    const int64_t lOthers = Int(GetScalarValue(
        fmt::format("select count(*) from {} where INCARNATION <> {} and {}", kMemberTable,
                    lIncarnation, MemberLive(dLease))));
    m_lEpoch = lEpoch;
    if (lOthers == 0) {
      // Nobody is processing: a new start of the group, whose start work
      // this member runs.
      ExecuteStatement(fmt::format("update {} set EPOCH = EPOCH + 1, STARTER = {}, STARTED = 0",
                                   kGroupTable, lIncarnation));
      m_lEpoch = lEpoch + 1;
    }
    ExecuteStatement(SyncPartitionsStatement(m_group.kind));
    oConnection->CommitTrans();
    m_lIncarnation = lIncarnation;
  } catch (...) {
    try {
      if (oConnection->InTransaction()) oConnection->RollbackTrans();
    } catch (...) {
      // The connection's failure is what the caller reports.
    }
    throw;
  }
  WriteExtendedErrorLog(fmt::format("joined collector group {} as {} incarnation {} epoch {}",
                                    m_group.strName, m_strMember, m_lIncarnation, m_lEpoch));
  m_bTickForced = true;
  m_lTicksSinceSync = kTicksBetweenSyncs;
}

void GroupMember::AddDowntimeCheckColumn() {
  // Groups made before the partitions kept the time of their downtime check.
  const std::string table = kPartitionTable;
  const int64_t lColumns = Int(GetScalarValue(
      "select count(*) from information_schema.columns where table_name = 't_sfc_mdc_partition' "
      "and column_name = 'downtime_check'"));
  if (lColumns == 0) ExecuteStatement("alter table " + table + " add column DOWNTIME_CHECK timestamp(3)");
}

void GroupMember::Leave() {
  if (!Joined()) return;
  try {
    ExecuteStatement(fmt::format(
        "update {} set OWNER_INCARNATION = null, LEASE_TIME = null where OWNER_INCARNATION = {}",
        kPartitionTable, m_lIncarnation));
    ExecuteStatement(fmt::format("update {} set LEFT_GROUP = 1, LAST_SEEN = {} where "
                                 "INCARNATION = {}",
                                 kMemberTable, kDbNow, m_lIncarnation));
    WriteExtendedErrorLog("left collector group " + m_group.strName);
  } catch (...) {
    // Its leases run out instead.
  }
  m_owned.clear();
  m_lIncarnation = 0;
}

bool GroupMember::TickDue() {
  return m_bTickForced ||
         dbaccess::ElapsedMilliseconds(m_dtLastTick, clock().Now()) >= LeaseMilliseconds() / 3;
}

void GroupMember::Tick() {
  const double dLease = m_group.dLeaseSeconds;
  LimitIdleTransactions();
  ExecuteStatement(fmt::format("update {} set LAST_SEEN = {} where INCARNATION = {}",
                               kMemberTable, kDbNow, m_lIncarnation));
  ExecuteStatement(fmt::format("update {} set LEASE_TIME = {} where OWNER_INCARNATION = {} and {}",
                               kPartitionTable, kDbNow, m_lIncarnation, LeaseHeld(dLease)));
  if (++m_lTicksSinceSync >= kTicksBetweenSyncs) {
    ExecuteStatement(SyncPartitionsStatement(m_group.kind));
    ReadMachinePartitions();
    m_lTicksSinceSync = 0;
  }
  Rebalance();
  m_dtLastTick = clock().Now();
  m_bTickForced = false;
}

void GroupMember::ReadMachinePartitions() {
  m_machinePartition.clear();
  dbaccess::RecordsetPtr rs = OpenQuery(MachineKeysQuery(m_group.kind));
  for (; !rs->Eof(); rs->MoveNext()) {
    m_machinePartition[static_cast<int32_t>(Int(rs->Fields("MACHINE_ID").Value()))] =
        static_cast<int32_t>(Int(rs->Fields("KEY_ID").Value()));
  }
  CloseRecordset(rs);
}

void GroupMember::Rebalance() {
  const double dLease = m_group.dLeaseSeconds;
  std::vector<int32_t> free;
  std::vector<int32_t> mine;
  m_partitionKeys.clear();
  dbaccess::RecordsetPtr rs = OpenQuery(fmt::format(
      "select PARTITION_KEY, OWNER_INCARNATION, case when OWNER_INCARNATION is not null and {} "
      "then 1 else 0 end as HELD from {} order by PARTITION_KEY",
      LeaseHeld(dLease), kPartitionTable));
  for (; !rs->Eof(); rs->MoveNext()) {
    const auto lKey = static_cast<int32_t>(Int(rs->Fields("PARTITION_KEY").Value()));
    m_partitionKeys.insert(lKey);
    if (Int(rs->Fields("HELD").Value()) == 0) {
      free.push_back(lKey);
    } else if (Int(rs->Fields("OWNER_INCARNATION").Value()) == m_lIncarnation) {
      mine.push_back(lKey);
    }
  }
  CloseRecordset(rs);
  std::vector<int64_t> live;
  rs = OpenQuery(fmt::format("select INCARNATION from {} where {} order by INCARNATION",
                             kMemberTable, MemberLive(dLease)));
  for (; !rs->Eof(); rs->MoveNext()) live.push_back(Int(rs->Fields("INCARNATION").Value()));
  CloseRecordset(rs);

  const size_t lPartitions = m_partitionKeys.size();
  const auto me = std::find(live.begin(), live.end(), m_lIncarnation);
  size_t lShare = 0;
  // No partition before the group's start work is done.
  if (me != live.end() && m_bStartWorkDone) {
    const auto lIndex = static_cast<size_t>(me - live.begin());
    lShare = lPartitions / live.size() + (lIndex < lPartitions % live.size() ? 1 : 0);
  }
  // Above the share: the highest keys go back; below it: free ones are taken.
  while (mine.size() > lShare) {
    ExecuteStatement(fmt::format("update {} set OWNER_INCARNATION = null, LEASE_TIME = null "
                                 "where PARTITION_KEY = {} and OWNER_INCARNATION = {}",
                                 kPartitionTable, mine.back(), m_lIncarnation));
    mine.pop_back();
  }
  for (size_t i = 0; i < free.size() && mine.size() < lShare; ++i) {
    int32_t lTaken = 0;
    std::string strError;
    const std::string sql = fmt::format(
        "update {} set OWNER_INCARNATION = {}, LEASE_TIME = {}, FENCE = FENCE + 1 where "
        "PARTITION_KEY = {} and (OWNER_INCARNATION is null or LEASE_TIME is null or not ({}))",
        kPartitionTable, m_lIncarnation, kDbNow, free[i], LeaseHeld(dLease));
    if (!ExecuteSQLCounted(sql, strError, lTaken)) throw dbaccess::DbError(-1, strError);
    if (lTaken == 1) mine.push_back(free[i]);
  }
  // What is held, with the fences it was taken at, as the database has it.
  m_owned.clear();
  rs = OpenQuery(fmt::format("select PARTITION_KEY, FENCE from {} where OWNER_INCARNATION = {} "
                             "and {}",
                             kPartitionTable, m_lIncarnation, LeaseHeld(dLease)));
  for (; !rs->Eof(); rs->MoveNext()) {
    m_owned[static_cast<int32_t>(Int(rs->Fields("PARTITION_KEY").Value()))] =
        Int(rs->Fields("FENCE").Value());
  }
  CloseRecordset(rs);
}

bool GroupMember::StartWorkPending() {
  if (m_bStartWorkDone) return false;
  const std::optional<GroupRow> row = ReadGroup(m_session);
  if (!row) return false;
  m_lEpoch = row->lEpoch;
  if (row->bStarted) {
    m_bStartWorkDone = true;
    m_bTickForced = true;  // its share is due at once
    return false;
  }
  if (row->lStarter == m_lIncarnation) return true;
  // The starter went away before finishing: a live member takes it over.
  int32_t lTaken = 0;
  std::string strError;
  const std::string sql = fmt::format(
      "update {} set STARTER = {} where EPOCH = {} and STARTED = 0 and (STARTER is null or "
      "STARTER not in (select INCARNATION from {} where {}))",
      kGroupTable, m_lIncarnation, m_lEpoch, kMemberTable, MemberLive(m_group.dLeaseSeconds));
  if (!ExecuteSQLCounted(sql, strError, lTaken)) throw dbaccess::DbError(-1, strError);
  return lTaken == 1;
}

bool GroupMember::StartWorkDone() { return m_bStartWorkDone; }

void GroupMember::MarkStartWorkDone() {
  ExecuteStatement(fmt::format("update {} set STARTED = 1 where EPOCH = {} and STARTER = {}",
                               kGroupTable, m_lEpoch, m_lIncarnation));
  m_bStartWorkDone = true;
  WriteExtendedErrorLog(fmt::format("start work of epoch {} done", m_lEpoch));
}

std::string GroupMember::BatchCondition() const {
  if (m_owned.empty()) return "1 = 0";
  const std::string column = PartitionColumn(m_group.kind);
  std::string keys;
  bool bUnassigned = false;
  for (const auto& [lKey, lFence] : m_owned) {
    if (lKey == kUnassignedPartition) {
      bUnassigned = true;
      continue;
    }
    if (!keys.empty()) keys += ",";
    keys += std::to_string(lKey);
  }
  std::string condition = keys.empty() ? "1 = 0" : column + " in (" + keys + ")";
  if (bUnassigned) {
    condition += fmt::format(" or coalesce({}, -1) not in (select PARTITION_KEY from {} where "
                             "PARTITION_KEY <> -1)",
                             column, kPartitionTable);
  }
  return "(" + condition + ")";
}

int32_t GroupMember::PartitionOf(const MachineKeys& keys) const {
  int32_t lKey = keys.lGroupID;
  if (m_group.kind == PartitionKind::kMachine) lKey = keys.lMachineID;
  if (m_group.kind == PartitionKind::kLocation) lKey = keys.lLocationID;
  return lKey != kUnassignedPartition && m_partitionKeys.count(lKey) ? lKey
                                                                      : kUnassignedPartition;
}

int32_t GroupMember::MachinePartition(int32_t lMachineID) const {
  const auto found = m_machinePartition.find(lMachineID);
  const int32_t lKey = found == m_machinePartition.end() ? kUnassignedPartition : found->second;
  return m_partitionKeys.count(lKey) ? lKey : kUnassignedPartition;
}

std::optional<int32_t> GroupMember::HeldPartition(int32_t lMachineID) const {
  const int32_t lPartition = MachinePartition(lMachineID);
  if (m_owned.count(lPartition) == 0) return std::nullopt;
  return lPartition;
}

bool GroupMember::PartitionDrained(int32_t lPartition) const {
  const auto drained = m_drained.find(lPartition);
  const auto owned = m_owned.find(lPartition);
  return drained != m_drained.end() && owned != m_owned.end() && drained->second == owned->second;
}

std::optional<dbaccess::DateTime> GroupMember::ReadDowntimeCheck(int32_t lPartition) {
  const dbaccess::Variant vTime = GetScalarValue(fmt::format(
      "select DOWNTIME_CHECK from {} where PARTITION_KEY = {}", kPartitionTable, lPartition));
  if (vTime.IsNull() || vTime.IsEmpty()) return std::nullopt;
  return vTime.ToDateTime();
}

void GroupMember::WriteDowntimeCheck(int32_t lPartition, const dbaccess::DateTime& dtTime) {
  std::string strError;
  if (!ExecuteSQL(fmt::format("update {} set DOWNTIME_CHECK = {} where PARTITION_KEY = {}",
                              kPartitionTable, voltrane::DateTimeLiteral(DatabaseType(), dtTime),
                              lPartition),
                  strError)) {
    WriteExtendedErrorLog("The time of the partition's downtime check could not be stored: " +
                          strError);
  }
}

std::optional<std::pair<int64_t, int64_t>> GroupMember::MachineOwnership(
    int32_t lMachineID) const {
  const int32_t lPartition = MachinePartition(lMachineID);
  auto it = m_owned.find(lPartition);
  if (it == m_owned.end()) return std::nullopt;
  return std::make_pair(static_cast<int64_t>(lPartition), it->second);
}

bool GroupMember::SamePartition(int32_t lMachineA, int32_t lMachineB) const {
  return MachinePartition(lMachineA) == MachinePartition(lMachineB);
}

bool GroupMember::FenceBatch(const std::set<int32_t>& partitions, std::string& strError) {
  if (partitions.empty()) return true;
  std::string fences;
  std::string names;
  bool bAllOwned = true;
  for (const int32_t lKey : partitions) {
    const auto owned = m_owned.find(lKey);
    if (!names.empty()) names += ", ";
    names += std::to_string(lKey);
    if (owned == m_owned.end()) {
      bAllOwned = false;
      continue;
    }
    if (!fences.empty()) fences += " or ";
    fences += fmt::format("(PARTITION_KEY = {} and FENCE = {})", lKey, owned->second);
  }
  int32_t lRenewed = 0;
  if (bAllOwned) {
    const std::string sql = fmt::format(
        "update {} set LEASE_TIME = {} where OWNER_INCARNATION = {} and {} and ({})",
        kPartitionTable, kDbNow, m_lIncarnation, LeaseHeld(m_group.dLeaseSeconds), fences);
    if (!ExecuteSQLCounted(sql, strError, lRenewed)) return false;
  }
  if (bAllOwned && static_cast<size_t>(lRenewed) == partitions.size()) return true;
  strError = "Error. The lease of partition(s) " + names +
             " was lost to another member of the collector group '" + m_group.strName +
             "': the batch is not committed, its rows are read again by their owner";
  WriteExtendedErrorLog(strError);
  ForgetOwnership();
  return false;
}

void GroupMember::ForgetOwnership() {
  m_owned.clear();
  m_bTickForced = true;
}

}  // namespace korvex7::internal
