// Statement texts of the log intake, built for a database kind: the only
// place that writes an insert into T_SFC_MDC_LOG. The insert that appends a
// command with the machine's hierarchy joined in and the database's clock
// (or a given time) as its time stamp, the insert of rows whose keys are
// known, and the text that records a removed row so it can be replayed.
// Pure functions; thread-safe.
#ifndef VOLTRANE_LIBRARY_INTAKE_SQL_H_
#define VOLTRANE_LIBRARY_INTAKE_SQL_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <optional>

#include "dbaccess/date_time.h"
#include "dbaccess/variant.h"
#include "library/korvex7_commands.h"
#include "library/korvex7_log_writer.h"

namespace korvex7::internal {

// The table hint that a few lookups add on SQL Server only.
std::string NoLockHint2(int32_t kind);

// "INSERT INTO T_SFC_MDC_LOG (...) select <command_expression> as COMMAND_ID,
// ..." from the machine, its group and its location, for the machine that
// `machine_condition` names (e.g. "m.MACHINE_ID = 5"). An empty parameter is
// stored as null; any other text as a quoted literal. With `time`, the row
// carries that time instead of the database's.
std::string LogInsertStatement(int32_t kind, const std::string& command_expression,
                               int32_t lCommandTimeCode, const std::string& strParam,
                               const std::string& machine_condition,
                               const std::optional<dbaccess::DateTime>& time = std::nullopt);

// "INSERT INTO T_SFC_MDC_LOG (...) VALUES (...), (...)": rows whose keys
// are known, each with its own time; `rows` must not be empty.
std::string LogRowsInsertStatement(int32_t kind, const std::vector<korvex7::LogRow>& rows);

// The insert that would put a removed row back, as the diagnostic log
// records it: its values as they were (a command or time code of -1 as
// null, the parameter always quoted) and its former key as a comment.
std::string ReplayLogRowStatement(int32_t kind, const korvex7::LogRow& row, int32_t lMDCLogID);

// The same insert for the machine with number `strMachineNumber` and the one
// command of type code `lCommandTypeCode`: the lookups of the intake by
// number resolved inside the statement. It inserts nothing when the machine,
// its group or location is missing, or when the type code does not have
// exactly one command (or its key is -1); the caller then takes the lookups'
// way to tell which.
std::string LogInsertByNumberStatement(int32_t kind, const std::string& strMachineNumber,
                                       int32_t lCommandTypeCode, int32_t lCommandTimeCode,
                                       const std::string& strParam);

// The intake's inserts with their values as parameters, so that the
// database plans each once per connection instead of at every append: by
// machine and command key (the command may be null: a refresh request), by
// machine number and type code (as LogInsertByNumberStatement), and by the
// outside keys of machine and command.
enum class IntakeForm { kByKey, kByNumber, kByOutsideKey };

// The values of one append in the order of the parameters: the machine, the
// command, the time code and the parameter (null when "").
std::vector<dbaccess::Variant> IntakeValues(const dbaccess::Variant& machine,
                                            const dbaccess::Variant& command,
                                            int32_t lCommandTimeCode, const std::string& strParam);

// The insert of `form` with numbered parameters: "?1" to "?4" on SQLite,
// "$1" to "$4" on PostgreSQL.
std::string ParameterizedLogInsertStatement(IntakeForm form, int32_t kind);

// On PostgreSQL, whose driver sends parameters as literals, the insert as a
// statement prepared in the server session: "PREPARE korvex7_intake_by_...
// (...) AS INSERT ...", and its "EXECUTE" with one append's values.
std::string PrepareLogInsertStatement(IntakeForm form);
std::string ExecuteLogInsertStatement(IntakeForm form,
                                      const std::vector<dbaccess::Variant>& values);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_INTAKE_SQL_H_
