// The collector group's tables, their statements and their administration
// (see group_tables.h).
#include "library/group/group_tables.h"

#include <fmt/format.h>

#include <cmath>

#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "library/session/session.h"

namespace korvex7::internal::group {

namespace {

constexpr int32_t kDesignatedPCOption = 14;

struct KindRow {
  PartitionKind kind;
  const char* name;
  const char* log_column;
  // The master data of the kind: its table, key and name.
  const char* table;
  const char* key;
  const char* label;
};

constexpr KindRow kKinds[] = {
    {PartitionKind::kGroup, "group", "GROUP_ID", "T_SFC_GROUP", "GROUP_ID", "GROUP_NAME"},
    {PartitionKind::kMachine, "machine", "MACHINE_ID", "T_SFC_MACHINE", "MACHINE_ID",
     "MACHINE_NUMBER"},
    {PartitionKind::kLocation, "location", "LOCATION_ID", "T_SFC_LOCATION", "LOCATION_ID",
     "LOCATION_NAME"},
};

const KindRow& Row(PartitionKind kind) {
  for (const KindRow& row : kKinds) {
    if (row.kind == kind) return row;
  }
  return kKinds[0];
}

std::vector<std::string> CreateStatements(const std::string& strName, PartitionKind kind,
                                          double dLeaseSeconds) {
  return {
      std::string("create table ") + kGroupTable +
          " (GROUP_NAME varchar(255) not null, PARTITION_KIND varchar(20) not null,"
          " LEASE_SECONDS double precision not null default 10, EPOCH integer not null default 0,"
          " STARTER bigint, STARTED integer not null default 0)",
      std::string("create sequence ") + kIncarnationSequence,
      std::string("create table ") + kMemberTable +
          " (INCARNATION bigint primary key, MEMBER_NAME varchar(255) not null,"
          " JOINED timestamp(3) not null, LAST_SEEN timestamp(3) not null,"
          " LEFT_GROUP integer not null default 0)",
      std::string("create table ") + kPartitionTable +
          " (PARTITION_KEY integer primary key, PARTITION_NAME varchar(255),"
          " OWNER_INCARNATION bigint, LEASE_TIME timestamp(3), FENCE bigint not null default 0,"
          " DOWNTIME_CHECK timestamp(3))",
      fmt::format("insert into {} (GROUP_NAME, PARTITION_KIND, LEASE_SECONDS, EPOCH, STARTED) "
                  "values ({}, '{}', {}, 0, 0)",
                  kGroupTable, voltrane::QuotedStr(voltrane::dbkind::kPostgreSql, strName),
                  PartitionKindName(kind), dLeaseSeconds),
      fmt::format("insert into {} (PARTITION_KEY, PARTITION_NAME, FENCE) values ({}, "
                  "'unassigned', 0)",
                  kPartitionTable, kUnassignedPartition),
      SyncPartitionsStatement(kind),
  };
}

bool Refused(std::string& strError, const std::string& strText) {
  strError = strText;
  return false;
}

std::string Text(const dbaccess::Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

}  // namespace

std::optional<PartitionKind> ParsePartitionKind(const std::string& text) {
  for (const KindRow& row : kKinds) {
    if (text == row.name) return row.kind;
  }
  return std::nullopt;
}

const char* PartitionKindName(PartitionKind kind) { return Row(kind).name; }

const char* PartitionColumn(PartitionKind kind) { return Row(kind).log_column; }

std::string LeaseHeld(double dLeaseSeconds) {
  return fmt::format("LEASE_TIME > {} - interval '1 second' * {}", kDbNow, dLeaseSeconds);
}

std::string MemberLive(double dLeaseSeconds) {
  return fmt::format("LEFT_GROUP = 0 and LAST_SEEN > {} - interval '1 second' * {}", kDbNow,
                     dLeaseSeconds);
}

std::string SyncPartitionsStatement(PartitionKind kind) {
  const KindRow& row = Row(kind);
  return fmt::format(
      "insert into {0} (PARTITION_KEY, PARTITION_NAME, FENCE) select {1}, {2}, 0 from {3} "
      "where {1} not in (select PARTITION_KEY from {0})",
      kPartitionTable, row.key, row.label, row.table);
}

std::string MachineKeysQuery(PartitionKind kind) {
  switch (kind) {
    case PartitionKind::kMachine:
      return "select MACHINE_ID, MACHINE_ID as KEY_ID from T_SFC_MACHINE";
    case PartitionKind::kLocation:
      return "select m.MACHINE_ID, g.LOCATION_ID as KEY_ID from T_SFC_MACHINE m "
             "inner join T_SFC_GROUP g on g.GROUP_ID = m.GROUP_ID";
    case PartitionKind::kGroup:
      break;
  }
  return "select MACHINE_ID, GROUP_ID as KEY_ID from T_SFC_MACHINE";
}

bool LogRowsWaiting(Session& session) {
  dbaccess::Recordset rs;
  session.OpenRecordset(
      rs, voltrane::GetTop(session.DatabaseType(), 1, "select MDC_LOG_ID from T_SFC_MDC_LOG"));
  return !rs.Eof();
}

std::optional<GroupRow> ReadGroup(Session& session) {
  dbaccess::Recordset rs;
  try {
    session.OpenRecordset(rs, std::string("select GROUP_NAME, PARTITION_KIND, LEASE_SECONDS, "
                                          "EPOCH, STARTER, STARTED from ") +
                                  kGroupTable);
  } catch (const dbaccess::DbError& error) {
    if (error.number() == dbaccess::kErrTableNotFound) return std::nullopt;
    throw;
  }
  if (rs.Eof()) return std::nullopt;
  GroupRow row;
  row.strName = Text(rs.Fields("GROUP_NAME").Value());
  row.kind = ParsePartitionKind(Text(rs.Fields("PARTITION_KIND").Value()))
                 .value_or(PartitionKind::kGroup);
  row.dLeaseSeconds = rs.Fields("LEASE_SECONDS").Value().ToDouble();
  row.lEpoch = rs.Fields("EPOCH").Value().ToInt64();
  const dbaccess::Variant& vStarter = rs.Fields("STARTER").Value();
  row.lStarter = vStarter.IsNull() ? 0 : vStarter.ToInt64();
  row.bStarted = rs.Fields("STARTED").Value().ToInt64() != 0;
  return row;
}

bool CreateGroup(Session& session, const std::string& strName, PartitionKind kind,
                 double dLeaseSeconds, std::string& strError) {
  if (!session.dialect().collector_groups) return Refused(strError, ServerDatabaseNeededText(session.dialect().display_name));
  if (strName.empty()) return Refused(strError, "The group needs a name.");
  // Below half a second the members would spend their time renewing, and a
  // transaction left idle for a quarter second would cost its session.
  if (!(dLeaseSeconds >= kMinimumLeaseSeconds) || !std::isfinite(dLeaseSeconds)) {
    return Refused(strError, fmt::format("The lease must be at least {} seconds.",
                                         kMinimumLeaseSeconds));
  }
  if (const std::optional<GroupRow> existing = ReadGroup(session)) {
    return Refused(strError, "The database is already in group mode (group '" +
                                 existing->strName + "'); korvex7 group drop turns it back.");
  }
  const dbaccess::ConnectionPtr& connection = session.connection();
  connection->BeginTrans();
  try {
    for (const std::string& statement : CreateStatements(strName, kind, dLeaseSeconds)) {
      session.ExecuteStatement(statement);
    }
    connection->CommitTrans();
  } catch (const dbaccess::DbError& error) {
    connection->RollbackTrans();
    return Refused(strError, fmt::format("The group could not be created: Error # {}:{}",
                                         error.number(), error.description()));
  }
  if (!session.SetStringOption(kDesignatedPCOption, kDesignationPrefix + strName)) {
    return Refused(strError, "The group was created, but option 14 could not be written.");
  }
  return true;
}

bool DropGroup(Session& session, const std::string& strDesignate, std::string& strError) {
  const std::optional<GroupRow> existing = ReadGroup(session);
  if (!existing) return Refused(strError, kNotInGroupModeText);
  const dbaccess::Variant vLive = session.GetScalarValue(
      std::string("select count(*) from ") + kMemberTable + " where " +
      MemberLive(existing->dLeaseSeconds));
  if (!vLive.IsNull() && !vLive.IsEmpty() && vLive.ToInt64() > 0) {
    return Refused(strError, fmt::format("The group '{}' still has {} live member(s); stop them "
                                         "first (korvex7 group status lists them).",
                                         existing->strName, vLive.ToInt64()));
  }
  const dbaccess::ConnectionPtr& connection = session.connection();
  connection->BeginTrans();
  try {
    for (const char* table : {kPartitionTable, kMemberTable, kGroupTable}) {
      session.ExecuteStatement(std::string("drop table ") + table);
    }
    session.ExecuteStatement(std::string("drop sequence ") + kIncarnationSequence);
    connection->CommitTrans();
  } catch (const dbaccess::DbError& error) {
    connection->RollbackTrans();
    return Refused(strError, fmt::format("The group could not be dropped: Error # {}:{}",
                                         error.number(), error.description()));
  }
  if (!session.SetStringOption(kDesignatedPCOption, strDesignate)) {
    return Refused(strError, "The group was dropped, but option 14 could not be written.");
  }
  return true;
}

bool GroupStatusLines(Session& session, std::vector<std::string>& lines, std::string& strError) {
  const std::optional<GroupRow> existing = ReadGroup(session);
  if (!existing) return Refused(strError, kNotInGroupModeText);
  const double dLease = existing->dLeaseSeconds;
  lines.push_back(fmt::format("group {} partition {} lease {} s epoch {}", existing->strName,
                              PartitionKindName(existing->kind), dLease, existing->lEpoch));
  dbaccess::Recordset members;
  session.OpenRecordset(
      members,
      fmt::format("select MEMBER_NAME, INCARNATION, LEFT_GROUP, case when {} then 1 else 0 end "
                  "as LIVE, extract(epoch from ({} - LAST_SEEN)) as AGE from {} order by "
                  "INCARNATION",
                  MemberLive(dLease), kDbNow, kMemberTable));
  for (; !members.Eof(); members.MoveNext()) {
    const char* state = members.Fields("LEFT_GROUP").Value().ToInt64() != 0 ? "left"
                        : members.Fields("LIVE").Value().ToInt64() != 0   ? "live"
                                                                            : "stale";
    lines.push_back(fmt::format("member {} incarnation {} {} last-seen {:.1f}",
                                Text(members.Fields("MEMBER_NAME").Value()),
                                members.Fields("INCARNATION").Value().ToInt64(), state,
                                members.Fields("AGE").Value().ToDouble()));
  }
  const std::string column = PartitionColumn(existing->kind);
  dbaccess::Recordset partitions;
  session.OpenRecordset(
      partitions,
      fmt::format(
          "select p.PARTITION_KEY, p.PARTITION_NAME, m.MEMBER_NAME, extract(epoch from ({0} - "
          "p.LEASE_TIME)) as AGE, (select count(*) from T_SFC_MDC_LOG l where coalesce(l.{1}, "
          "-1) = p.PARTITION_KEY or (p.PARTITION_KEY = -1 and coalesce(l.{1}, -1) not in "
          "(select PARTITION_KEY from {2} where PARTITION_KEY <> -1))) as WAITING from {2} p "
          "left join {3} m on m.INCARNATION = p.OWNER_INCARNATION order by p.PARTITION_KEY",
          kDbNow, column, kPartitionTable, kMemberTable));
  for (; !partitions.Eof(); partitions.MoveNext()) {
    const std::string owner = Text(partitions.Fields("MEMBER_NAME").Value());
    const dbaccess::Variant& vAge = partitions.Fields("AGE").Value();
    lines.push_back(fmt::format(
        "partition {} {} {} owner {} lease-age {} waiting {}",
        Text(partitions.Fields("PARTITION_NAME").Value()), PartitionKindName(existing->kind),
        partitions.Fields("PARTITION_KEY").Value().ToInt64(), owner.empty() ? "-" : owner,
        owner.empty() || vAge.IsNull() ? std::string("-")
                                       : fmt::format("{:.1f}", vAge.ToDouble()),
        partitions.Fields("WAITING").Value().ToInt64()));
  }
  return true;
}

}  // namespace korvex7::internal::group
