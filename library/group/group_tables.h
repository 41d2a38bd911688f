// The tables of a collector group and the SQL that reads and writes them:
// the group (one row), its members (one row per incarnation) and its
// partitions (the unit of work that moves between members, each with its
// owner, lease and fence). Every time is the database server's own clock
// (clock_timestamp(), in UTC), so that all members measure leases on one
// clock; now() would be the transaction's start. PostgreSQL only: group mode
// needs a server database (Dialect::collector_groups).
//
// Option 14's value and the refusals: designation.h.
// Also the administration the tool offers (create, status, drop), over the
// library's session. Failures escape as DbError unless stated otherwise.
// Thread rule: used by the thread that owns the session.
#ifndef VOLTRANE_LIBRARY_GROUP_GROUP_TABLES_H_
#define VOLTRANE_LIBRARY_GROUP_GROUP_TABLES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "library/group/designation.h"

namespace korvex7::internal {

class Session;

namespace group {

inline constexpr const char* kGroupTable = "T_SFC_MDC_GROUP";
inline constexpr const char* kMemberTable = "T_SFC_MDC_MEMBER";
inline constexpr const char* kPartitionTable = "T_SFC_MDC_PARTITION";
inline constexpr const char* kIncarnationSequence = "T_SFC_MDC_MEMBER_SEQ";
// The database clock every member measures by.
inline constexpr const char* kDbNow = "(clock_timestamp() at time zone 'UTC')";
// The partition of log rows whose key names no partition.
inline constexpr int32_t kUnassignedPartition = -1;
inline constexpr double kDefaultLeaseSeconds = 10.0;
inline constexpr double kMinimumLeaseSeconds = 0.5;

enum class PartitionKind { kGroup, kMachine, kLocation };

// "group", "machine", "location"; nullopt for any other text.
std::optional<PartitionKind> ParsePartitionKind(const std::string& text);
const char* PartitionKindName(PartitionKind kind);
// The log's column that names a row's partition.
const char* PartitionColumn(PartitionKind kind);

// "LEASE_TIME > <database now> - <seconds>": the lease was renewed within it.
std::string LeaseHeld(double dLeaseSeconds);
// A member row that was seen within the lease and has not left.
std::string MemberLive(double dLeaseSeconds);

// Inserts the partitions the master data names and the table lacks (with
// their names); partitions of vanished keys stay while their rows wait.
std::string SyncPartitionsStatement(PartitionKind kind);
// Machines and the key of their partition kind: MACHINE_ID, KEY_ID.
std::string MachineKeysQuery(PartitionKind kind);

// Whether any row of any partition waits in the log: a look at one row, not a count.
bool LogRowsWaiting(Session& session);

// The group row as stored.
struct GroupRow {
  std::string strName;
  PartitionKind kind = PartitionKind::kGroup;
  double dLeaseSeconds = kDefaultLeaseSeconds;
  int64_t lEpoch = 0;
  int64_t lStarter = 0;
  bool bStarted = false;
};

// The group row, or nullopt when the database has no group tables.
std::optional<GroupRow> ReadGroup(Session& session);

// Turns the database to group mode: tables, the sequence, the group row,
// the partitions, and option 14 = "group:NAME". False with a text for the
// user (SQLite, a group already there, a bad lease, a failed statement:
// then nothing is left behind).
bool CreateGroup(Session& session, const std::string& strName, PartitionKind kind,
                 double dLeaseSeconds, std::string& strError);
// Turns it back to one designated computer (strDesignate, "" for the first
// that processes): refused while a member is live.
bool DropGroup(Session& session, const std::string& strDesignate, std::string& strError);
// The members, then one line per partition. False with a text when the
// database is not in group mode.
bool GroupStatusLines(Session& session, std::vector<std::string>& lines, std::string& strError);

}  // namespace group
}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_GROUP_GROUP_TABLES_H_
