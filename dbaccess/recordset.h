// Recordset: a client-side static recordset. Every row is read when it opens;
// moving, finding and reading fields never touch the database again.
//
// An updatable recordset is one opened on a single table's columns (such as
// "select * from T_SFC_USER where USER_ID = 0"): it knows its base table and
// key column, and AddNew/Update insert or update that table by key. After an
// insert the row is re-read, so a generated key is readable from it.
// Unconnected recordsets are built with AppendField and OpenUnconnected; their
// Update keeps rows in memory only.
//
// Operations on a closed recordset, or on fields with no current row, throw
// DbError (kErrObjectClosed, kErrNoCurrentRecord). Not thread-safe.
#ifndef VOLTRANE_DBACCESS_RECORDSET_H_
#define VOLTRANE_DBACCESS_RECORDSET_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/backend.h"
#include "dbaccess/connection.h"
#include "dbaccess/variant.h"

namespace dbaccess {

class Recordset;

// One column of the current row. Assigning a value starts an edit of the row.
class Field {
 public:
  const std::string& Name() const;
  const Variant& Value() const;
  void SetValue(const Variant& value);
  Field& operator=(const Variant& value) {
    SetValue(value);
    return *this;
  }
  FieldType Type() const;
  int64_t DefinedSize() const;
  int Precision() const;
  int NumericScale() const;
  bool IsNullable() const;

 private:
  friend class Recordset;
  Field(Recordset* owner, size_t index) : owner_(owner), index_(index) {}
  Recordset* owner_;
  size_t index_;
};

enum class CursorLocation { kClient, kServer };

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Runs `sql` on `connection` and reads all rows; positions at the first row.
  void Open(const std::string& sql, ConnectionPtr connection);
  // For Command: adopts rows already read.
  void OpenFromResult(ResultTable result, ConnectionPtr connection, const std::string& sql);
  // Unconnected recordset: define fields, then open empty.
  void AppendField(const ColumnInfo& column);
  void OpenUnconnected();

  bool IsOpen() const { return open_; }
  void Close();

  // Cursor location is recorded for callers that choose it; rows are always read at open.
  void SetCursorLocation(CursorLocation location) { cursor_location_ = location; }
  // Updates of the current row may wait on the connection for its next
  // statement (Connection::DeferWrite); one that finds no row then fails
  // there with the same error.
  void SetUpdatesMayWait(bool may_wait) { updates_may_wait_ = may_wait; }
  CursorLocation GetCursorLocation() const { return cursor_location_; }

  bool Eof() const;
  bool Bof() const;
  void MoveFirst();
  void MoveNext();
  void MovePrevious();
  void MoveLast();
  int64_t RecordCount() const;
  // Current row index (0-based); meaningful when neither Bof nor Eof.
  size_t Position() const { return position_; }

  // Searches forward from the current row (inclusive) for the first row whose
  // column compares as "NAME op value" (op one of = <> < > <= >=; value a
  // number, 'text' or #date#); stays at EOF when none matches. A malformed
  // criterion throws kErrInvalidArgument.
  bool Find(const std::string& criterion);

  size_t FieldCount() const;
  Field Fields(const std::string& name);   // kErrItemNotFound for an unknown name
  Field Fields(size_t index);
  const std::vector<ColumnInfo>& Columns() const { return columns_; }

  void AddNew();
  // Saves a pending AddNew or edit. Throws DbError on failure; the edit then stays pending.
  void Update();
  void CancelUpdate();
  bool EditPending() const { return edit_mode_ != EditMode::kNone; }

  const std::string& BaseTable() const { return base_table_; }
  // Looked up from the database the first time it is needed (an edit's
  // Update), so that read-only recordsets cost one query only.
  const std::string& KeyColumn() const;
  const std::string& Source() const { return source_; }

 private:
  friend class Field;
  enum class EditMode { kNone, kEdit, kAdd };

  void RequireOpen() const;
  void RequireCurrentRow() const;
  void DetectBaseTable();
  size_t IndexOf(const std::string& name) const;
  const Variant& CurrentValue(size_t index) const;
  void SetCurrentValue(size_t index, const Variant& value);
  void InsertPendingRow();
  void UpdateCurrentRow();

  ConnectionPtr connection_;
  std::string source_;
  std::vector<ColumnInfo> columns_;
  std::vector<std::vector<Variant>> rows_;
  size_t position_ = 0;
  bool bof_ = false;   // before the first row
  bool open_ = false;
  bool unconnected_ = false;
  bool updates_may_wait_ = false;
  CursorLocation cursor_location_ = CursorLocation::kClient;
  EditMode edit_mode_ = EditMode::kNone;
  std::vector<Variant> edit_buffer_;
  std::vector<bool> edit_changed_;
  std::string base_table_;
  mutable std::string key_column_;
  mutable bool key_column_known_ = false;
};

using RecordsetPtr = std::shared_ptr<Recordset>;

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_RECORDSET_H_
