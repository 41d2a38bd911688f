// Command: a statement text or a stored-procedure name on a connection, with
// named parameters.
//
// For statement text, parameters bind in the order they were added to the
// "?" markers of the text. For a stored procedure, output, in/out and return
// value parameters are filled after Execute. Failures throw DbError.
// Not thread-safe.
#ifndef VOLTRANE_DBACCESS_COMMAND_H_
#define VOLTRANE_DBACCESS_COMMAND_H_

#include <memory>
#include <string>
#include <vector>

#include "dbaccess/backend.h"
#include "dbaccess/connection.h"
#include "dbaccess/recordset.h"

namespace dbaccess {

enum class CommandType { kText, kStoredProcedure };

class Command {
 public:
  void SetActiveConnection(ConnectionPtr connection) { connection_ = std::move(connection); }
  void SetCommandText(std::string text) { text_ = std::move(text); }
  const std::string& CommandText() const { return text_; }
  void SetCommandType(CommandType type) { type_ = type; }
  // Defaults to the connection's command timeout when never set.
  void SetCommandTimeout(int seconds) { timeout_ = seconds; }

  // Adds a parameter and returns it; text parameters longer than `size`
  // characters are refused at Execute with kErrInvalidArgument.
  Parameter& AddParameter(const std::string& name, ParamType type, ParamDirection direction,
                          int size = 0, Variant value = Variant());
  // kErrItemNotFound for an unknown name (compared without regard to case).
  Parameter& Param(const std::string& name);
  std::vector<Parameter>& Parameters() { return params_; }

  // Executes; returns the affected rows for statement text (-1 for procedures).
  int64_t Execute();
  // Executes and returns the first result set as an open client-side recordset.
  RecordsetPtr ExecuteQuery();

 private:
  void Validate() const;
  int Timeout() const;

  ConnectionPtr connection_;
  std::string text_;
  CommandType type_ = CommandType::kText;
  int timeout_ = -1;
  std::vector<Parameter> params_;
};

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_COMMAND_H_
