// SQLBuilder: one parameterised statement of the library. The command text
// names its parameters "@Name"; reading SQLCommandObject() turns each named
// parameter into a positional "?" with a bound Command parameter or, on
// Oracle, into an inline literal (integers stay bound). Array parameters
// become one "?" per element ("?,?,?"), for "in (...)" lists.
//
// Names are replaced as plain text: a parameter whose name begins another
// parameter's name (@Machine, @MachineID) is also replaced inside the longer
// name, so such pairs must not be used together. Names are matched with
// regard to case. A parameter set twice keeps its first value.
//
// Processing fails only where a value cannot be converted for inlining
// (DbError from Variant); OpenRecordset lets database errors pass, Execute
// returns them as text. One object per statement, used by one thread.
#ifndef VOLTRANE_DBACCESS_SQL_BUILDER_H_
#define VOLTRANE_DBACCESS_SQL_BUILDER_H_

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/command.h"
#include "dbaccess/connection.h"
#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"

namespace voltrane {

// ADO data type codes a SQLParam carries.
namespace adtype {
inline constexpr int16_t kSmallInt = 2;
inline constexpr int16_t kInteger = 3;
inline constexpr int16_t kDouble = 5;
inline constexpr int16_t kDate = 7;
inline constexpr int16_t kBoolean = 11;
inline constexpr int16_t kBigInt = 20;
inline constexpr int16_t kChar = 129;
inline constexpr int16_t kWChar = 130;
inline constexpr int16_t kVarChar = 200;
inline constexpr int16_t kVarWChar = 202;
inline constexpr int16_t kArray = 8192;
}  // namespace adtype

// ADO command type codes.
namespace adcmd {
inline constexpr int32_t kText = 1;
inline constexpr int32_t kStoredProc = 4;
inline constexpr int32_t kUnknown = 8;
}  // namespace adcmd

struct SQLParam {
  dbaccess::Variant Value;
  int16_t ValueType = 0;
  // The elements of an array parameter (ValueType adtype::kArray), bound as integers.
  std::vector<dbaccess::Variant> Elements;
};

class SQLBuilder {
 public:
  SQLBuilder();

  // 0 (Oracle, also the default) inlines every parameter but integers.
  void SetDatabaseType(int32_t kind) { database_type_ = kind; }
  int32_t DatabaseType() const { return database_type_; }
  void SetCommandText(std::string text) { command_text_ = std::move(text); }
  const std::string& CommandText() const { return command_text_; }
  // ADO command type; adcmd::kStoredProc runs a procedure, anything else text.
  void SetCommandType(int32_t type);
  int32_t CommandType() const { return command_type_; }
  // Kept for callers; statements are prepared on every execution anyway.
  void SetPrepared(bool prepared) { prepared_ = prepared; }
  bool Prepared() const { return prepared_; }

  // Adds `name` (with its "@"); a name already present keeps its first value and type.
  void SetParameter(const std::string& name, int16_t type, dbaccess::Variant value);
  // An array parameter: `type` should be adtype::kArray.
  void SetParameter(const std::string& name, int16_t type, std::vector<dbaccess::Variant> elements);
  // nullopt for a name never set.
  std::optional<SQLParam> GetParameter(const std::string& name) const;

  // Processes the parameters into the Command and returns it.
  std::shared_ptr<dbaccess::Command> SQLCommandObject();
  void SetSQLCommandObject(std::shared_ptr<dbaccess::Command> command);
  // The Command's current text: the processed text after SQLCommandObject().
  const std::string& ProcessedSQL() const { return command_->CommandText(); }

  // Opens the processed statement on `connection`. On Oracle with
  // `server_side` the recordset is marked server-side. Throws DbError.
  dbaccess::RecordsetPtr OpenRecordset(int32_t kind, dbaccess::ConnectionPtr connection,
                                       bool server_side);
  // Runs the processed statement; false with the error's description on failure.
  bool Execute(dbaccess::ConnectionPtr connection, std::string& error_text);

 private:
  void ProcessParameters();
  void ApplyParameter(const std::string& name, const SQLParam& param);
  void ApplyArray(const std::string& name, const SQLParam& param);
  void ReplaceAll(const std::string& name, const std::string& replacement);

  std::shared_ptr<dbaccess::Command> command_;  // never null
  int32_t database_type_ = 0;
  int32_t command_type_ = adcmd::kUnknown;
  bool prepared_ = false;
  std::string command_text_;
  std::string working_text_;
  std::map<std::string, SQLParam> params_;
};

}  // namespace voltrane

#endif  // VOLTRANE_DBACCESS_SQL_BUILDER_H_
