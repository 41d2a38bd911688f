// ManagerDatabase: the manager's database helpers over its one shared
// CDatabaseConnectionObj: recordsets that reconnect (asking Retry/Cancel while
// the server stays away), single-field reads, option rows of T_SFC_OPTION
// (application code 2) and single-column updates.
//
// Only the recordset helpers raise (DbError; source "modDBAssist" after the
// user cancelled a reconnection, else the database's own error); option reads
// and writes and UpdateDB turn failures into results. One thread.
#ifndef VOLTRANE_MANAGER_MANAGER_DATABASE_H_
#define VOLTRANE_MANAGER_MANAGER_DATABASE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "dbaccess/database_connection.h"
#include "dbaccess/query_builder.h"
#include "dbaccess/recordset.h"
#include "manager/wizard_prompts.h"

namespace voltrane::manager {

class ManagerDatabase {
 public:
  ManagerDatabase(CDatabaseConnectionObj& connection, WizardPrompts& prompts, TraceSink trace);

  CDatabaseConnectionObj& connection() { return connection_; }
  // Shared with every CQueryBuilder of the run; its kind follows the wizard's kind.
  const std::shared_ptr<QueryBuilderState>& builder_state() const { return builder_state_; }
  CQueryBuilder Builder() const { return CQueryBuilder(builder_state_); }

  // The connection a recordset is bound to, reconnecting when it is gone.
  dbaccess::ConnectionPtr RSInitialize();
  void RsOpen(dbaccess::Recordset& rs, const std::string& sql, bool reconnect);
  void RsClose(dbaccess::RecordsetPtr& rs);
  dbaccess::RecordsetPtr GetRecordset(const std::string& sql, bool server_side = false);
  // The field of the first row as text; "" for no row, null or any failure.
  std::string GetFieldText(const std::string& sql, size_t field);
  // An unconnected copy holding every row of `source`.
  static dbaccess::RecordsetPtr CopyRecordset(dbaccess::Recordset& source);

  bool UpdateDBOptionBool(int32_t code, int32_t value);
  bool UpdateDBOptionNum(int32_t code, int32_t value);
  bool UpdateDBOptionStr(int32_t code, const std::string& value);
  bool ReadDBOptionBool(int32_t code);
  std::optional<int32_t> ReadDBOptionNum(int32_t code);
  std::optional<std::string> ReadDBOptionStr(int32_t code);
  // The small enumerations kept in BOOL_VAL (16 bits).
  std::optional<int32_t> ReadDBOptionInt(int32_t code);

  bool UpdateDB(const std::string& table, int32_t id, const std::string& column,
                const std::string& value);

 private:
  // Asks Retry/Cancel until a reconnection succeeds; raises on Cancel.
  void ReconnectOrRaise();
  bool Reconnect();
  bool UpdateDBOption(int32_t code, int32_t type, const char* column,
                      const dbaccess::Variant& value);
  std::optional<int64_t> ReadDBOptionNumber(const char* column, int32_t code);
  void Trace(const std::string& line) const;

  CDatabaseConnectionObj& connection_;
  WizardPrompts& prompts_;
  TraceSink trace_;
  std::shared_ptr<QueryBuilderState> builder_state_ = std::make_shared<QueryBuilderState>();
};

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_MANAGER_DATABASE_H_
