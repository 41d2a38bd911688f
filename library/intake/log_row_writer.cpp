// The log-row writer of korvex7_log_writer.h. The statements come from
// intake_sql.h and client_id_sql.h; this file decides when each runs.
//
// The client id rule rests on the unique index of T_SFC_MDC_CLIENT_ID: the
// id is looked up first, and of two retries that both miss it, the second
// one's insert of the id fails (PostgreSQL waits for the first to commit;
// SQLite refuses the second writer's stale snapshot). That failure rolls
// back its row too, and a look at the id then tells a duplicate from any
// other failure.
#include "library/korvex7_log_writer.h"

#include <algorithm>
#include <cctype>

#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"
#include "library/intake/client_id_sql.h"
#include "library/intake/intake_sql.h"

namespace korvex7 {

// The intake's statements this writer runs.
using namespace internal;

namespace {

constexpr size_t kRowsPerStatement = 200;

std::optional<dbaccess::Variant> FirstValue(const std::string& sql,
                                            const dbaccess::ConnectionPtr& connection) {
  dbaccess::Recordset rs;
  rs.Open(sql, connection);
  if (rs.Eof()) return std::nullopt;
  const dbaccess::Variant value = rs.Fields(size_t{0}).Value();
  if (value.IsNull() || value.IsEmpty()) return std::nullopt;
  return value;
}

bool SameName(std::string a, std::string b) {
  const auto upper = [](std::string& text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  };
  upper(a);
  upper(b);
  return a == b;
}

// Rolls back the transaction a writer began itself, keeping the first failure.
void RollBackOwn(dbaccess::Connection& connection, bool own) {
  if (!own || !connection.InTransaction()) return;
  try {
    connection.RollbackTrans();
  } catch (const dbaccess::DbError&) {
    // The connection failed already; the caller hears of that failure.
  }
}

}  // namespace

LogRowWriter::LogRowWriter(dbaccess::ConnectionPtr connection, int32_t kind, TimeRule time_rule)
    : connection_(std::move(connection)), kind_(kind), time_rule_(time_rule) {}

AppendResult LogRowWriter::Append(const Command& command) {
  if (auto refusal = CheckCommandValues(command.time_code, command.param, command.client_id)) {
    return AppendResult::Refused(*refusal);
  }
  const std::optional<MachineKeys> machine = FindMachine(command.machine_number);
  if (!machine) return AppendResult::Refused(MachineRefusal(command.machine_number));
  const std::optional<int64_t> command_id = FindCommand(command.type_code);
  if (!command_id) return AppendResult::Refused(NoSuchCommandTypeRefusal(command.type_code));
  if (command.time && time_rule_ == TimeRule::kChecked) {
    if (auto refusal = TimeRefusal(command.machine_number, machine->machine_id, *command.time)) {
      return AppendResult::Refused(*refusal);
    }
  }
  if (!command.client_id.empty() && !connection_->InTransaction()) PrepareClientIds();
  return AppendOnce(command, machine->machine_id, *command_id);
}

AppendResult LogRowWriter::AppendOnce(const Command& command, int64_t machine_id,
                                      int64_t command_id) {
  if (command.client_id.empty()) {
    if (InsertRow(command, machine_id, command_id)) return AppendResult::Appended();
    return AppendResult::Refused(MachineRefusal(command.machine_number));
  }
  const bool own = !connection_->InTransaction();
  if (own) connection_->BeginTrans();
  try {
    if (ClientIdKept(command.client_id)) {
      RollBackOwn(*connection_, own);
      return AppendResult::Duplicate();
    }
    connection_->Execute(ClientIdInsertStatement(kind_, command.client_id, machine_id,
                                                 dbaccess::DateTime::Now()));
    if (!InsertRow(command, machine_id, command_id)) {
      RollBackOwn(*connection_, own);
      return AppendResult::Refused(MachineRefusal(command.machine_number));
    }
    if (own) connection_->CommitTrans();
    return AppendResult::Appended();
  } catch (const dbaccess::DbError&) {
    if (!own) throw;
    RollBackOwn(*connection_, own);
    // A racing retry committed the id first: this one is its duplicate.
    if (ClientIdKept(command.client_id)) return AppendResult::Duplicate();
    throw;
  }
}

bool LogRowWriter::InsertRow(const Command& command, int64_t machine_id, int64_t command_id) {
  const std::string sql =
      LogInsertStatement(kind_, std::to_string(command_id), command.time_code, command.param,
                         "m.MACHINE_ID = " + std::to_string(machine_id), command.time);
  return connection_->Execute(sql) == 1;
}

// Why the machine cannot take rows; a machine renumbered, removed or left
// without group or location since it was looked up is looked up again.
CommandRefusal LogRowWriter::MachineRefusal(const std::string& machine_number) {
  machines_.erase(machine_number);
  const std::optional<dbaccess::Variant> machine =
      FirstValue("select MACHINE_ID from T_SFC_MACHINE " + voltrane::NoLockHint(kind_) +
                     " where MACHINE_NUMBER = " + voltrane::QuotedStr(kind_, machine_number),
                 connection_);
  if (!machine) return NoSuchMachineRefusal(machine_number);
  return NoGroupOrLocationRefusal(machine_number);
}

std::optional<CommandRefusal> LogRowWriter::TimeRefusal(const std::string& machine_number,
                                                        int64_t machine_id,
                                                        const dbaccess::DateTime& time) {
  const std::optional<dbaccess::Variant> now =
      FirstValue("select " + voltrane::SysDateExpr(kind_) + voltrane::FromDualClause(kind_),
                 connection_);
  if (now && time > now->ToDateTime().AddSeconds(kTimeAheadSeconds)) {
    return TimeAheadRefusal(time, now->ToDateTime());
  }
  const std::string machine = std::to_string(machine_id);
  for (const std::string& latest_sql :
       {"select max(TIME_STAMP) from T_SFC_MDC_LOG where MACHINE_ID = " + machine,
        "select max(START_TIME) from T_SFC_MACHINE_DATA where MACHINE_ID = " + machine}) {
    const std::optional<dbaccess::Variant> latest = FirstValue(latest_sql, connection_);
    if (latest && time < latest->ToDateTime()) {
      return TimeBeforeRecordedRefusal(machine_number, time, latest->ToDateTime());
    }
  }
  return std::nullopt;
}

void LogRowWriter::AppendRows(const std::vector<LogRow>& rows) {
  for (size_t first = 0; first < rows.size(); first += kRowsPerStatement) {
    const size_t last = std::min(rows.size(), first + kRowsPerStatement);
    connection_->Execute(LogRowsInsertStatement(
        kind_, std::vector<LogRow>(rows.begin() + static_cast<std::ptrdiff_t>(first),
                                   rows.begin() + static_cast<std::ptrdiff_t>(last))));
  }
}

std::optional<MachineKeys> LogRowWriter::FindMachine(const std::string& machine_number) {
  const auto known = machines_.find(machine_number);
  if (known != machines_.end()) return known->second;
  const std::string hint = voltrane::NoLockHint(kind_);
  dbaccess::Recordset rs;
  rs.Open("select m.MACHINE_ID, m.GROUP_ID, g.LOCATION_ID, l.DEPT_ID from T_SFC_MACHINE m " +
              hint + ", T_SFC_GROUP g " + hint + ", T_SFC_LOCATION l " + hint +
              " where g.GROUP_ID = m.GROUP_ID and l.LOCATION_ID = g.LOCATION_ID and "
              "m.MACHINE_NUMBER = " +
              voltrane::QuotedStr(kind_, machine_number),
          connection_);
  if (rs.Eof()) return std::nullopt;
  const MachineKeys keys{
      rs.Fields("MACHINE_ID").Value().ToInt64(), rs.Fields("GROUP_ID").Value().ToInt64(),
      rs.Fields("LOCATION_ID").Value().ToInt64(), rs.Fields("DEPT_ID").Value().ToInt64()};
  machines_[machine_number] = keys;
  return keys;
}

std::optional<int64_t> LogRowWriter::FindCommand(int32_t type_code) {
  const auto known = commands_.find(type_code);
  if (known != commands_.end()) return known->second;
  const std::optional<dbaccess::Variant> key =
      FirstValue("select min(COMMAND_ID) from T_SFC_COMMAND " + voltrane::NoLockHint(kind_) +
                     " where COMMAND_TYPE_CODE = " + std::to_string(type_code),
                 connection_);
  if (!key) return std::nullopt;
  commands_[type_code] = key->ToInt64();
  return key->ToInt64();
}

void LogRowWriter::PrepareClientIds() {
  if (client_ids_ready_) return;
  const auto exists = [this] {
    try {
      const std::optional<dbaccess::Variant> name =
          FirstValue(ClientIdTableExistsStatement(kind_), connection_);
      return name && SameName(name->ToText(), kClientIdTable);
    } catch (const dbaccess::DbError&) {
      return false;
    }
  };
  if (!exists()) {
    try {
      for (const std::string& statement : ClientIdCreateStatements(kind_)) {
        connection_->Execute(statement);
      }
    } catch (const dbaccess::DbError&) {
      // Another writer may have made it meanwhile; the check below tells.
      if (!exists()) throw;
    }
  }
  connection_->Execute(ClientIdPruneStatement(
      kind_, dbaccess::DateTime::Now().AddDays(-kClientIdDays)));
  client_ids_ready_ = true;
}

bool LogRowWriter::ClientIdKept(const std::string& client_id) {
  return FirstValue(ClientIdSelectStatement(kind_, client_id), connection_).has_value();
}

}  // namespace korvex7
