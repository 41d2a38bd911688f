// Recordset and Field: the client-side static recordset over Backend.
//
// All rows are read at open. The base table is taken from a single-table
// select ("select ... from T [alias] [where ...]"; no join, no second table,
// no grouping) and its key column from the table's first primary key column.
// An edit (AddNew, or assigning a field of the current row) fills a buffer;
// Update writes it with InsertRow (the stored row then replaces the buffer, so
// a generated key is readable) or with "UPDATE T SET ... WHERE key = ?" by the
// row's original key value. Moving away from a pending edit saves it first, as
// ADO does. Failures throw DbError and leave the edit pending. Not thread-safe.
#include "dbaccess/recordset.h"

#include <algorithm>
#include <cctype>

#include "base/ascii_case.h"
#include "dbaccess/db_error.h"
#include "dbaccess/find_criterion.h"

namespace dbaccess {
namespace {

// Field names compare without regard to case. Called for every field read by
// name, so it compares in place rather than building lower-case copies.
bool SameName(const std::string& a, const std::string& b) { return base::EqualsIgnoreCase(a, b); }

// Splits a statement into lower-case words and single punctuation marks,
// skipping quoted texts and whatever stands in parentheses, so that only the
// statement's top level is seen. Quoted identifiers keep their case.
std::vector<std::string> TopLevelTokens(const std::string& sql) {
  std::vector<std::string> tokens;
  int depth = 0;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'') {
      const auto close = sql.find('\'', i + 1);
      i = close == std::string::npos ? sql.size() : close + 1;
      if (depth == 0) tokens.push_back("'");
    } else if (c == '(') {
      ++depth, ++i;
    } else if (c == ')') {
      depth = std::max(0, depth - 1), ++i;
    } else if (depth > 0 || std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '"' || c == '[' || c == '`') {
      const char close_mark = c == '[' ? ']' : c;
      const auto close = sql.find(close_mark, i + 1);
      const size_t end = close == std::string::npos ? sql.size() : close;
      tokens.push_back(sql.substr(i + 1, end - i - 1));
      i = end + 1;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '$') {
      const size_t start = i;
      while (i < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_' ||
                                sql[i] == '.' || sql[i] == '$')) {
        ++i;
      }
      tokens.push_back(base::Lower(sql.substr(start, i - start)));
    } else {
      tokens.push_back(std::string(1, c));
      ++i;
    }
  }
  return tokens;
}

// The one table of "select ... from T ...", with its case as written; "" for
// anything else (joins, several tables, grouping, unions, not a select).
std::string SingleSelectTable(const std::string& sql) {
  const std::vector<std::string> lower = TopLevelTokens(sql);
  if (lower.empty() || lower.front() != "select") return "";
  auto from = std::find(lower.begin(), lower.end(), "from");
  if (from == lower.end() || from + 1 == lower.end()) return "";
  // Anywhere: what makes the rows something other than one table's rows.
  static const char* kRefusedAnywhere[] = {"distinct", "group",     "union",
                                           "having",   "intersect", "except"};
  for (const std::string& token : lower) {
    for (const char* refused : kRefusedAnywhere) {
      if (token == refused) return "";
    }
  }
  // Between the table and the condition: a second table.
  for (auto it = from + 2; it != lower.end(); ++it) {
    if (*it == "where" || *it == "order" || *it == "limit" || *it == ";") break;
    if (*it == "," || *it == "join" || *it == "from") return "";
  }
  // Recover the table name's original case from the statement text.
  const std::string& table = *(from + 1);
  const std::string lower_sql = base::Lower(sql);
  const auto at = lower_sql.find(base::Lower(table), lower_sql.find("from"));
  return at == std::string::npos ? table : sql.substr(at, table.size());
}

Variant CoerceToColumn(const Variant& value, const ColumnInfo& column) {
  if (value.IsNull() || value.IsEmpty()) return Variant::Null();
  switch (column.type) {
    case FieldType::kInteger:
      return Variant(static_cast<long long>(value.ToInt64()));
    case FieldType::kDouble:
      return Variant(value.ToDouble());
    case FieldType::kDecimal:
      if (value.Type() == VariantType::kInteger || value.Type() == VariantType::kDouble) {
        return value;
      }
      return Variant(value.ToDouble());
    case FieldType::kText:
      return Variant(value.ToText());
    case FieldType::kDateTime:
      return Variant(value.ToDateTime());
    case FieldType::kBoolean:
      return Variant(value.ToBool());
    case FieldType::kBinary:
      break;
  }
  return value;
}

const std::string& StoredName(const ColumnInfo& column) {
  return column.base_column.empty() ? column.name : column.base_column;
}

}  // namespace

// ---- Field ----

const std::string& Field::Name() const { return owner_->columns_[index_].name; }
const Variant& Field::Value() const { return owner_->CurrentValue(index_); }
void Field::SetValue(const Variant& value) { owner_->SetCurrentValue(index_, value); }
FieldType Field::Type() const { return owner_->columns_[index_].type; }
int64_t Field::DefinedSize() const { return owner_->columns_[index_].defined_size; }
int Field::Precision() const { return owner_->columns_[index_].precision; }
int Field::NumericScale() const { return owner_->columns_[index_].scale; }
bool Field::IsNullable() const { return owner_->columns_[index_].nullable; }

// ---- Recordset: opening and closing ----

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::Open(const std::string& sql, ConnectionPtr connection) {
  if (open_)
    throw DbError(kErrInvalidArgument, "Operation is not allowed when the object is open.");
  if (!connection || !connection->IsOpen()) {
    throw DbError(kErrObjectClosed, "Operation is not allowed when the object is closed.");
  }
  ResultTable result = connection->Query(sql);
  OpenFromResult(std::move(result), std::move(connection), sql);
}

void Recordset::OpenFromResult(ResultTable result, ConnectionPtr connection,
                               const std::string& sql) {
  if (open_)
    throw DbError(kErrInvalidArgument, "Operation is not allowed when the object is open.");
  connection_ = std::move(connection);
  source_ = sql;
  columns_ = std::move(result.columns);
  rows_ = std::move(result.rows);
  unconnected_ = false;
  position_ = 0;
  bof_ = rows_.empty();
  edit_mode_ = EditMode::kNone;
  open_ = true;
  DetectBaseTable();
}

void Recordset::AppendField(const ColumnInfo& column) {
  if (open_) {
    throw DbError(kErrInvalidArgument,
                  "Operation is not allowed in this context (recordset open).");
  }
  columns_.push_back(column);
}

void Recordset::OpenUnconnected() {
  if (open_)
    throw DbError(kErrInvalidArgument, "Operation is not allowed when the object is open.");
  connection_.reset();
  source_.clear();
  rows_.clear();
  unconnected_ = true;
  position_ = 0;
  bof_ = true;
  edit_mode_ = EditMode::kNone;
  base_table_.clear();
  key_column_.clear();
  open_ = true;
}

void Recordset::Close() {
  // Closing a closed recordset is harmless, so that cleanup paths need no test.
  open_ = false;
  edit_mode_ = EditMode::kNone;
  edit_buffer_.clear();
  edit_changed_.clear();
  rows_.clear();
  columns_.clear();
  connection_.reset();
  base_table_.clear();
  key_column_.clear();
  position_ = 0;
  bof_ = false;
}

void Recordset::DetectBaseTable() {
  base_table_ = SingleSelectTable(source_);
  key_column_.clear();
  key_column_known_ = false;
}

const std::string& Recordset::KeyColumn() const {
  if (key_column_known_) return key_column_;
  if (base_table_.empty() || !connection_ || !connection_->IsOpen()) return key_column_;
  // Asked only when an edit is saved: a failure here (a connection lost
  // since the read) is that save's failure, reported as itself.
  const std::vector<std::string> keys = connection_->PrimaryKeyColumns(base_table_);
  if (!keys.empty()) key_column_ = keys.front();
  key_column_known_ = true;
  return key_column_;
}

// ---- Position ----

void Recordset::RequireOpen() const {
  if (!open_)
    throw DbError(kErrObjectClosed, "Operation is not allowed when the object is closed.");
}

void Recordset::RequireCurrentRow() const {
  RequireOpen();
  if (bof_ || position_ >= rows_.size()) {
    throw DbError(kErrNoCurrentRecord,
                  "Either BOF or EOF is True, or the current record has been deleted. Requested "
                  "operation requires a current record.");
  }
}

bool Recordset::Eof() const {
  RequireOpen();
  if (edit_mode_ == EditMode::kAdd) return false;
  return rows_.empty() || (!bof_ && position_ >= rows_.size());
}

bool Recordset::Bof() const {
  RequireOpen();
  if (edit_mode_ == EditMode::kAdd) return false;
  return rows_.empty() || bof_;
}

void Recordset::MoveFirst() {
  RequireOpen();
  if (EditPending()) Update();
  position_ = 0;
  bof_ = rows_.empty();
}

void Recordset::MoveLast() {
  RequireOpen();
  if (EditPending()) Update();
  position_ = rows_.empty() ? 0 : rows_.size() - 1;
  bof_ = rows_.empty();
}

void Recordset::MoveNext() {
  RequireOpen();
  if (EditPending()) Update();
  if (Eof()) RequireCurrentRow();  // raises the no-current-record error
  if (bof_) {
    bof_ = false;
    position_ = 0;
  } else {
    ++position_;
  }
}

void Recordset::MovePrevious() {
  RequireOpen();
  if (EditPending()) Update();
  if (Bof()) RequireCurrentRow();
  if (position_ == 0) {
    bof_ = true;
  } else {
    --position_;
  }
}

int64_t Recordset::RecordCount() const {
  RequireOpen();
  return static_cast<int64_t>(rows_.size());
}

bool Recordset::Find(const std::string& criterion) {
  RequireOpen();
  const FindCriterion parsed = FindCriterion::Parse(criterion);
  const size_t column = IndexOf(parsed.Column());
  if (EditPending()) Update();
  if (rows_.empty()) return false;
  for (size_t row = bof_ ? 0 : position_; row < rows_.size(); ++row) {
    if (parsed.Matches(rows_[row][column])) {
      position_ = row;
      bof_ = false;
      return true;
    }
  }
  position_ = rows_.size();
  bof_ = false;
  return false;
}

// ---- Fields ----

size_t Recordset::FieldCount() const {
  RequireOpen();
  return columns_.size();
}

size_t Recordset::IndexOf(const std::string& name) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (SameName(columns_[i].name, name)) return i;
  }
  throw DbError(kErrItemNotFound,
                "Item cannot be found in the collection corresponding to the requested name or "
                "ordinal. (" +
                    name + ")");
}

Field Recordset::Fields(const std::string& name) {
  RequireOpen();
  return Field(this, IndexOf(name));
}

Field Recordset::Fields(size_t index) {
  RequireOpen();
  if (index >= columns_.size()) {
    throw DbError(kErrItemNotFound,
                  "Item cannot be found in the collection corresponding to the requested name or "
                  "ordinal. (" +
                      std::to_string(index) + ")");
  }
  return Field(this, index);
}

const Variant& Recordset::CurrentValue(size_t index) const {
  RequireOpen();
  if (edit_mode_ != EditMode::kNone) return edit_buffer_[index];
  RequireCurrentRow();
  return rows_[position_][index];
}

void Recordset::SetCurrentValue(size_t index, const Variant& value) {
  RequireOpen();
  if (edit_mode_ == EditMode::kNone) {
    RequireCurrentRow();
    edit_buffer_ = rows_[position_];
    edit_changed_.assign(columns_.size(), false);
    edit_mode_ = EditMode::kEdit;
  }
  edit_buffer_[index] = CoerceToColumn(value, columns_[index]);
  edit_changed_[index] = true;
}

// ---- Editing ----

void Recordset::AddNew() {
  RequireOpen();
  if (EditPending()) Update();
  edit_buffer_.assign(columns_.size(), Variant::Null());
  edit_changed_.assign(columns_.size(), false);
  edit_mode_ = EditMode::kAdd;
}

void Recordset::Update() {
  RequireOpen();
  if (edit_mode_ == EditMode::kAdd) InsertPendingRow();
  if (edit_mode_ == EditMode::kEdit) UpdateCurrentRow();
  edit_mode_ = EditMode::kNone;
  edit_buffer_.clear();
  edit_changed_.clear();
}

void Recordset::CancelUpdate() {
  RequireOpen();
  edit_mode_ = EditMode::kNone;
  edit_buffer_.clear();
  edit_changed_.clear();
}

void Recordset::InsertPendingRow() {
  if (!unconnected_) {
    if (base_table_.empty()) {
      throw DbError(kErrCommandFailed,
                    "The recordset cannot add rows: its source is not a single-table select (" +
                        source_ + ").");
    }
    std::vector<std::string> names;
    std::vector<Variant> values;
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (!edit_changed_[i]) continue;
      names.push_back(StoredName(columns_[i]));
      values.push_back(edit_buffer_[i]);
    }
    const ResultTable stored =
        connection_->InsertRow(base_table_, names, values);
    if (!stored.rows.empty()) {
      // The stored row carries the generated key and the defaults.
      for (size_t i = 0; i < columns_.size(); ++i) {
        for (size_t j = 0; j < stored.columns.size(); ++j) {
          if (SameName(stored.columns[j].name, StoredName(columns_[i]))) {
            edit_buffer_[i] = stored.rows.front()[j];
            break;
          }
        }
      }
    }
  }
  rows_.push_back(edit_buffer_);
  position_ = rows_.size() - 1;
  bof_ = false;
}

namespace {

constexpr const char* kRowNotLocatedText =
    "Row cannot be located for updating. Some values may have been changed since it was last "
    "read.";

}  // namespace

void Recordset::UpdateCurrentRow() {
  if (!unconnected_) {
    size_t key = columns_.size();
    const std::string& key_column = KeyColumn();
    for (size_t i = 0; i < columns_.size() && !key_column.empty(); ++i) {
      if (SameName(StoredName(columns_[i]), key_column)) key = i;
    }
    if (base_table_.empty() || key == columns_.size()) {
      throw DbError(kErrCommandFailed,
                    "The recordset cannot be updated: its source is not a single-table select "
                    "that includes the table's key column (" +
                        source_ + ").");
    }
    std::string sets;
    std::vector<Variant> params;
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (!edit_changed_[i]) continue;
      sets += (sets.empty() ? "" : ", ") + StoredName(columns_[i]) + " = ?";
      params.push_back(edit_buffer_[i]);
    }
    if (!params.empty()) {
      const Variant& original_key = rows_[position_][key];
      params.push_back(original_key);
      const std::string sql =
          "UPDATE " + base_table_ + " SET " + sets + " WHERE " + key_column_ + " = ?";
      if (original_key.IsNull()) throw DbError(kErrCommandFailed, kRowNotLocatedText);
      if (updates_may_wait_) {
        connection_->DeferWrite(sql, params, kRowNotLocatedText);
      } else if (connection_->Execute(sql, params) == 0) {
        throw DbError(kErrCommandFailed, kRowNotLocatedText);
      }
    }
  }
  rows_[position_] = edit_buffer_;
}

}  // namespace dbaccess
