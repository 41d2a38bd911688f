// The manager's query builder. See query_builder.h.
#include "dbaccess/query_builder.h"

#include <vector>

#include "dbaccess/dialect.h"
#include "dbaccess/query_dialect.h"

namespace voltrane {

namespace {

std::vector<std::string> SplitCommaList(const std::string& text) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  while (true) {
    const auto comma = text.find(',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) return parts;
    start = comma + 1;
  }
}

}  // namespace

CQueryBuilder::CQueryBuilder(std::shared_ptr<QueryBuilderState> state) : state_(std::move(state)) {
  Clear();
  nolock_ = voltrane::NoLockText(kind_);
  glue_connector_ = voltrane::GlueConnector(kind_);
}

void CQueryBuilder::Clear() {
  kind_ = state_->database_kind;
  select_keyword_ = "Select ";
  cols_ = "*";
  table_alias_ = "t";
  table_name_.clear();
  filter_.clear();
  filter_join_.clear();
  join_.clear();
  embedded_table_query_.clear();
  clause_.clear();
}

std::string CQueryBuilder::FullTableName() const { return "T_SFC_" + table_name_; }

std::string CQueryBuilder::EmbeddedTableQuery() const {
  if (embedded_table_query_.empty()) return FullTableName() + " " + table_alias_ + " " + NoLock();
  return " ( " + embedded_table_query_ + " ) " + table_alias_;
}

std::string CQueryBuilder::query() const {
  std::string sql =
      select_keyword_ + cols_ + " from " + EmbeddedTableQuery() + join_ + filter_join_;
  if (!filter_.empty()) sql += " where " + filter_;
  if (!clause_.empty()) sql += " " + clause_;
  return sql;
}

void CQueryBuilder::Nest(const std::string& name, const CQueryBuilder& inner) {
  table_alias_ = name;
  embedded_table_query_ = inner.query();
}

void CQueryBuilder::MakeEmptyFilter() { filter_ = table_name_ + "_ID = 0"; }

std::string CQueryBuilder::GetSelectAll(const std::string& table, bool empty_set) {
  table_name_ = table;
  if (empty_set) MakeEmptyFilter();
  return query();
}

void CQueryBuilder::AppendConnector(const std::string& connector) {
  if (!filter_.empty()) filter_ += " " + connector + " ";
}

void CQueryBuilder::AddFiltStr(const std::string& text, const std::string& connector) {
  AppendConnector(connector);
  filter_ += text;
}

void CQueryBuilder::AddFiltID(const std::string& column, int32_t id, const std::string& op,
                              const std::string& connector) {
  if (id == -1) return;
  AppendConnector(connector);
  if (!table_alias_.empty()) filter_ += table_alias_ + ".";
  filter_ += column + op + std::to_string(id);
}

void CQueryBuilder::AddFiltDate(const std::string& column,
                                const std::optional<dbaccess::DateTime>& date,
                                const std::string& op, const std::string& connector) {
  if (!date) return;
  AppendConnector(connector);
  filter_ += DateCompare(table_alias_ + "." + column, op, date);
}

void CQueryBuilder::AddFiltColIsNotNull(const std::string& column, const std::string& alias,
                                        const std::string& connector) {
  AppendConnector(connector);
  filter_ += (alias.empty() ? table_alias_ : alias) + "." + column + " IS NOT NULL ";
}

void CQueryBuilder::AddJoin(const std::string& table, const std::string& alias,
                            const std::string& with_alias, const std::string& column) {
  join_ += " inner join T_SFC_" + table + " " + alias + " on " + with_alias + "." + column + " = " +
           alias + "." + column;
}

void CQueryBuilder::AddEmbededJoin(const std::string& sql, const std::string& alias,
                                   const std::string& with_alias, const std::string& column,
                                   const std::string& join_type) {
  join_ += " " + join_type + " join (" + sql + ") " + alias + " on " + with_alias + "." + column +
           " = " + alias + "." + column;
}

void CQueryBuilder::AddFiltJoin(const std::string& table, const std::string& alias,
                                const std::string& with_alias, const std::string& column) {
  filter_join_ += " left join T_SFC_" + table + " " + alias + " on " + with_alias + "." + column +
                  " = " + alias + "." + column;
}

std::string CQueryBuilder::Join2(const std::string& table, const std::string& alias,
                                 const std::string& with_alias, const std::string& column1,
                                 const std::string& column2, const std::string& join_type) const {
  const std::string c1 = column1.empty() ? table + "_ID" : column1;
  const std::string c2 = column2.empty() ? table + "_ID" : column2;
  return join_type + " join T_SFC_" + table + " " + alias + NoLock() + " on " + alias + "." + c1 +
         " = " + with_alias + "." + c2;
}

std::string CQueryBuilder::Join(const std::string& table, const std::string& alias,
                                const std::string& with_alias, const std::string& columns,
                                const std::string& sql, const std::string& select_columns) const {
  const auto compare = [&](const std::string& c) {
    return with_alias + "." + c + " = " + alias + "." + c;
  };
  std::string on;
  if (columns.find(',') == std::string::npos) {
    on = " on " + compare(columns);
  } else {
    std::string joined;
    for (const auto& c : SplitCommaList(columns)) {
      if (!joined.empty()) joined += " and ";
      joined += compare(c);
    }
    on = " on (" + joined + ")";
  }
  return "Select " + with_alias + ".*," + select_columns + " from (" + sql + ") " + with_alias +
         " left join T_SFC_" + table + " " + alias + on;
}

std::string CQueryBuilder::DeRefColQuery(const std::string& table, const std::string& column_select,
                                         const std::string& id, const std::string& ref_alias,
                                         const std::string& column_name) const {
  const std::string name = column_name.empty() ? table : column_name;
  const std::string key = id.empty() ? table + "_ID" : id;
  const std::string select = column_select.empty()
                                 ? table + "_NUMBER " + Glue(" - ") + " " + table + "_NAME "
                                 : column_select;
  const std::string ref = ref_alias.empty() ? "t" : ref_alias;
  return "(SELECT " + select + " from T_SFC_" + table + " " + NoLock() + " WHERE " + key + " = " +
         ref + "." + key + ") as " + name;
}

std::string CQueryBuilder::EscStart() const { return voltrane::EscStart(kind_); }
std::string CQueryBuilder::EscEnd() const { return voltrane::EscEnd(kind_); }
std::string CQueryBuilder::Esc(const std::string& text) const {
  const std::string start = EscStart();
  return start.empty() ? "" : start + text + EscEnd();
}

std::string CQueryBuilder::Glue(const std::string& text) const {
  if (glue_connector_.empty()) return "";
  return glue_connector_ + " " + QuotedStr(text) + " " + glue_connector_;
}

std::string CQueryBuilder::GlueField(const std::string& field) const {
  if (glue_connector_.empty()) return "";
  return glue_connector_ + " " + field + " " + glue_connector_;
}

std::string CQueryBuilder::NoLock() const { return embedded_table_query_.empty() ? nolock_ : ""; }

std::string CQueryBuilder::FromDual() const { return voltrane::FromDual(kind_); }
std::string CQueryBuilder::StdDev() const { return voltrane::StdDev(kind_); }
std::string CQueryBuilder::SysDate() const { return voltrane::SysDate(kind_); }

std::string CQueryBuilder::QuotedStr(const std::string& text) const {
  return voltrane::QuotedStr(kind_, text);
}

std::string CQueryBuilder::UCase(const std::string& x) const { return voltrane::UCase(kind_, x); }

std::string CQueryBuilder::IIF(const std::string& condition, const std::string& when_true,
                               const std::string& when_false) const {
  return voltrane::IIF(kind_, condition, when_true, when_false);
}

std::string CQueryBuilder::QBUpdate(const std::string& table, const std::string& alias,
                                    const std::string& join, const std::string& set,
                                    const std::string& where) const {
  return voltrane::QBUpdate(kind_, table, alias, join, set, where);
}

std::string CQueryBuilder::GetTop(int32_t count, const std::string& statement) const {
  return voltrane::GetTop(kind_, count, statement);
}

std::string CQueryBuilder::GetTopSingle(const std::string& body, const std::string& from,
                                        const std::string& where) const {
  return voltrane::GetTopSingle(kind_, body, from, where);
}

std::string CQueryBuilder::FormatDate(const dbaccess::DateTime& date) const {
  return voltrane::FormatDate(kind_, date);
}

std::string CQueryBuilder::DateCompare(const std::string& column, const std::string& op,
                                       const std::optional<dbaccess::DateTime>& date) const {
  return voltrane::DateCompare(kind_, column, op, date);
}

std::string CQueryBuilder::DateTimeCompare(const std::string& column, const std::string& op,
                                           const std::optional<dbaccess::DateTime>& date) const {
  return voltrane::DateTimeCompare(kind_, column, op, date);
}

std::string CQueryBuilder::FormatDateTimeForQuery(const dbaccess::DateTime& date) const {
  return voltrane::FormatDateTimeForQuery(kind_, date);
}

std::string CQueryBuilder::DateRangeAsFloat(const std::string& a, const std::string& b) const {
  return voltrane::DateRangeAsFloat(kind_, a, b);
}

std::string CQueryBuilder::DateAsDateTimeStr(const std::string& column,
                                             const std::string& alias) const {
  return voltrane::DateAsDateTimeStr(kind_, column, alias);
}

std::string CQueryBuilder::DateDisplayFormat(const std::string& column,
                                             const std::string& alias) const {
  return voltrane::DateDisplayFormat(kind_, column, alias);
}

std::string CQueryBuilder::ConvertDateToHours(const std::string& formula) const {
  return voltrane::ConvertDateToHours(kind_, formula);
}

std::string CQueryBuilder::DayPart(const std::string& x) const {
  return voltrane::DayPart(kind_, x);
}
std::string CQueryBuilder::DayOfWeek(const std::string& x) const {
  return voltrane::DayOfWeek(kind_, x);
}
std::string CQueryBuilder::MonthPart(const std::string& x) const {
  return voltrane::MonthPart(kind_, x);
}
std::string CQueryBuilder::YearPart(const std::string& x) const {
  return voltrane::YearPart(kind_, x);
}
std::string CQueryBuilder::DayOfYear(const std::string& x) const {
  return voltrane::DayOfYear(kind_, x);
}

std::string CQueryBuilder::DateAdd(const std::string& part, const std::string& number,
                                   const std::string& date) const {
  return voltrane::DateAdd(kind_, part, number, date);
}

std::string CQueryBuilder::FirstDayOfYear(const std::string& date) const {
  return voltrane::FirstDayOfYear(kind_, date);
}

std::string CQueryBuilder::CastToInt(const std::string& x) const {
  return voltrane::CastToInt(kind_, x);
}
std::string CQueryBuilder::CastToNumeric(const std::string& x) const {
  return voltrane::CastToNumeric(kind_, x);
}
std::string CQueryBuilder::CastToStr(const std::string& x) const {
  return voltrane::CastToStr(kind_, x);
}

std::string CQueryBuilder::LongCastToStr(const std::string& table, const std::string& column) {
  if (kind_ == dbkind::kOracle && !state_->getlong_queued) {
    state_->pending_statement = kGetLongFunctionStatement;
    state_->getlong_queued = true;
  }
  return LongColumnText(kind_, table, column);
}

std::string CQueryBuilder::TEXT_Convert(const std::string& column) const {
  return voltrane::TEXT_Convert(kind_, column);
}
std::string CQueryBuilder::isNullTest(const std::string& x) const {
  return voltrane::isNullTest(kind_, x);
}
std::string CQueryBuilder::isNullFunc(const std::string& x, const std::string& value) const {
  return voltrane::isNullFunc(kind_, x, value);
}
std::string CQueryBuilder::IsNumeric(const std::string& x) const {
  return voltrane::IsNumeric(kind_, x);
}
std::string CQueryBuilder::CrossJoin() const { return voltrane::CrossJoin(kind_); }

}  // namespace voltrane
