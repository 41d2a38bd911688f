// LogRowWriter: the one way a program built with the library writes rows of
// the MDC log (T_SFC_MDC_LOG) over a database connection of its own: the
// MTConnect bridge, the plant simulator, the benchmarks, and the library's
// intake for commands with their own time or a client id.
//
// Append takes a command of the vocabulary (korvex7_commands.h), applies its
// rules, finds the machine and the command (each looked up once and kept)
// and inserts one row with the machine's hierarchy joined in and the
// command's own time (checked or not, see TimeRule), or the database's when
// it has none. A command with a
// client id is appended at most once: the id is kept in T_SFC_MDC_CLIENT_ID
// (made when first needed, so older databases take it) and committed with
// the row, and a command whose id is kept already appends nothing, also when
// two retries race. Ids are kept for eight days at least.
//
// Transactions: with a client id and no transaction open, Append runs its
// own; inside the caller's transaction it adds the id and the row to it and
// the caller's commit keeps both (the table must then exist already:
// PrepareClientIds first). AppendRows adds rows whose keys are known in
// statements of many rows, inside the caller's transaction if one is open.
//
// Failures: a rule broken is a refusal in the result; a database failure
// throws dbaccess::DbError (the row was not appended; after a throw inside
// the caller's transaction, the caller rolls back). One thread per writer, as
// its connection.
#ifndef VOLTRANE_LIBRARY_KORVEX7_LOG_WRITER_H_
#define VOLTRANE_LIBRARY_KORVEX7_LOG_WRITER_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "library/korvex7_commands.h"

namespace korvex7 {

// The keys a machine's log rows carry.
struct MachineKeys {
  int64_t machine_id = 0;
  int64_t group_id = 0;
  int64_t location_id = 0;
  int64_t dept_id = 0;
};

// One log row with its keys resolved and its own time.
struct LogRow {
  int64_t command_id = -1;  // -1: none, a refresh request
  MachineKeys machine;
  int32_t time_code = Code(TimeCode::kStart);
  dbaccess::DateTime time;
  std::string param;  // "" is stored as null
};

// What Append does with a command's own time: kAsGiven stores any time (a
// machine monitor's clock; processing throws out what is too old), kChecked
// refuses one more than kTimeAheadSeconds after the database's time or older
// than the machine's latest row or record (an operator's offline entry).
enum class TimeRule { kAsGiven, kChecked };

class LogRowWriter {
 public:
  // `kind` is the database kind of `connection` (3 SQLite, 4 PostgreSQL, ...).
  LogRowWriter(dbaccess::ConnectionPtr connection, int32_t kind,
               TimeRule time_rule = TimeRule::kAsGiven);

  AppendResult Append(const Command& command);

  // Rows in the order given, several hundred per statement.
  void AppendRows(const std::vector<LogRow>& rows);

  // The machine with its group and location, or none when the machine or
  // its group or location is missing.
  std::optional<MachineKeys> FindMachine(const std::string& machine_number);
  // The lowest COMMAND_ID of the type code, or none.
  std::optional<int64_t> FindCommand(int32_t type_code);

  // Makes T_SFC_MDC_CLIENT_ID when it is missing (outside any transaction)
  // and removes ids older than the time they are kept.
  void PrepareClientIds();

 private:
  CommandRefusal MachineRefusal(const std::string& machine_number);
  std::optional<CommandRefusal> TimeRefusal(const std::string& machine_number, int64_t machine_id,
                                            const dbaccess::DateTime& time);
  AppendResult AppendOnce(const Command& command, int64_t machine_id, int64_t command_id);
  bool InsertRow(const Command& command, int64_t machine_id, int64_t command_id);
  bool ClientIdKept(const std::string& client_id);

  dbaccess::ConnectionPtr connection_;
  const int32_t kind_;
  const TimeRule time_rule_;
  std::map<std::string, MachineKeys> machines_;  // by machine number
  std::map<int32_t, int64_t> commands_;          // by type code
  bool client_ids_ready_ = false;                // T_SFC_MDC_CLIENT_ID seen to exist
};

}  // namespace korvex7

#endif  // VOLTRANE_LIBRARY_KORVEX7_LOG_WRITER_H_
