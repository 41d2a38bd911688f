// CQueryBuilder: the service manager's query builder. It carries the SQL
// fragments of the manager's current database kind (dialect.h and
// query_dialect.h decide them) and assembles simple SELECT statements from a
// table, its alias, columns, joins, a filter and a trailing clause.
//
// The kind comes from the manager's shared QueryBuilderState at creation and
// at every Clear. The NOLOCK text and the glue connector are fixed when the
// builder is created. Nothing here runs SQL or fails. A builder is a plain
// value used by one thread; the shared state belongs to the manager's thread.
#ifndef VOLTRANE_DBACCESS_QUERY_BUILDER_H_
#define VOLTRANE_DBACCESS_QUERY_BUILDER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "dbaccess/date_time.h"

namespace voltrane {

// What the builders of one manager run share with the manager.
struct QueryBuilderState {
  // The manager's current database kind (-1 before a kind is chosen).
  int32_t database_kind = -1;
  // A statement the manager runs before its next query, then clears (RsOpen).
  std::string pending_statement;
  // Set by the first Oracle long-column read of the run, which queues the
  // getlong function; later reads do not queue it again.
  bool getlong_queued = false;
};

class CQueryBuilder {
 public:
  // `state` must not be null.
  explicit CQueryBuilder(std::shared_ptr<QueryBuilderState> state);

  // Back to an empty "Select * from" of no table, with the manager's current kind.
  void Clear();

  int32_t DatabaseKind() const { return kind_; }
  const std::string& TableName() const { return table_name_; }
  void SetTableName(std::string value) { table_name_ = std::move(value); }
  const std::string& TableAlias() const { return table_alias_; }
  void SetTableAlias(std::string value) { table_alias_ = std::move(value); }
  const std::string& Cols() const { return cols_; }
  void SetCols(std::string value) { cols_ = std::move(value); }
  const std::string& Filter() const { return filter_; }
  void SetFilter(std::string value) { filter_ = std::move(value); }
  const std::string& FilterJoin() const { return filter_join_; }
  void SetFilterJoin(std::string value) { filter_join_ = std::move(value); }
  void SetEmbeddedTableQuery(std::string value) { embedded_table_query_ = std::move(value); }
  void SetClause(std::string value) { clause_ = std::move(value); }

  std::string FullTableName() const;
  // The FROM item: the table with alias and hint, or the embedded query with alias.
  std::string EmbeddedTableQuery() const;
  std::string query() const;

  // Selects from `inner`'s query under the alias `name`.
  void Nest(const std::string& name, const CQueryBuilder& inner);
  // A filter no row meets, for reading a table's columns only.
  void MakeEmptyFilter();
  std::string GetSelectAll(const std::string& table, bool empty_set);

  // Filters: each adds " connector " first unless the filter is still "".
  void AddFiltStr(const std::string& text, const std::string& connector);
  // Nothing for id -1 (not found).
  void AddFiltID(const std::string& column, int32_t id, const std::string& op,
                 const std::string& connector);
  // Nothing for a null date.
  void AddFiltDate(const std::string& column, const std::optional<dbaccess::DateTime>& date,
                   const std::string& op, const std::string& connector);
  // `alias` "" means the builder's alias.
  void AddFiltColIsNotNull(const std::string& column, const std::string& alias,
                           const std::string& connector);

  void AddJoin(const std::string& table, const std::string& alias, const std::string& with_alias,
               const std::string& column);
  void AddEmbededJoin(const std::string& sql, const std::string& alias,
                      const std::string& with_alias, const std::string& column,
                      const std::string& join_type);
  void AddJoinStr(const std::string& text) { join_ += text; }
  void SetJoinStr(std::string text) { join_ = std::move(text); }
  void AddFiltJoin(const std::string& table, const std::string& alias,
                   const std::string& with_alias, const std::string& column);
  void AddFiltJoinStr(const std::string& text) { filter_join_ += text; }

  // Columns "" default to table + "_ID".
  std::string Join2(const std::string& table, const std::string& alias,
                    const std::string& with_alias, const std::string& column1 = "",
                    const std::string& column2 = "", const std::string& join_type = "inner") const;
  // `columns` is one column or a comma-separated list compared pairwise.
  std::string Join(const std::string& table, const std::string& alias,
                   const std::string& with_alias, const std::string& columns,
                   const std::string& sql, const std::string& select_columns) const;
  // A correlated subquery giving the display text of a referenced row; ""
  // arguments take their defaults (see the definition).
  std::string DeRefColQuery(const std::string& table, const std::string& column_select = "",
                            const std::string& id = "", const std::string& ref_alias = "",
                            const std::string& column_name = "") const;

  // Fragments of the builder's kind.
  std::string EscStart() const;
  std::string EscEnd() const;
  std::string Esc(const std::string& text) const;
  std::string EscWord(const std::string& text) const { return Esc(text); }
  const std::string& GlueConnector() const { return glue_connector_; }
  std::string Glue(const std::string& text) const;
  std::string GlueField(const std::string& field) const;
  std::string NoLock() const;
  std::string FromDual() const;
  std::string StdDev() const;
  std::string SysDate() const;
  std::string GetSysDateQuery() const { return SysDate(); }
  std::string QuotedStr(const std::string& text) const;
  std::string UCase(const std::string& x) const;
  std::string IIF(const std::string& condition, const std::string& when_true,
                  const std::string& when_false) const;
  std::string QBUpdate(const std::string& table, const std::string& alias, const std::string& join,
                       const std::string& set, const std::string& where) const;
  std::string GetTop(int32_t count, const std::string& statement) const;
  std::string GetTopSingle(const std::string& body, const std::string& from,
                           const std::string& where) const;
  std::string FormatDate(const dbaccess::DateTime& date) const;
  std::string DateCompare(const std::string& column, const std::string& op,
                          const std::optional<dbaccess::DateTime>& date) const;
  std::string DateTimeCompare(const std::string& column, const std::string& op,
                              const std::optional<dbaccess::DateTime>& date) const;
  std::string FormatDateTimeForQuery(const dbaccess::DateTime& date) const;
  std::string DateRangeAsFloat(const std::string& a, const std::string& b) const;
  std::string DateAsDateTimeStr(const std::string& column, const std::string& alias) const;
  std::string DateDisplayFormat(const std::string& column, const std::string& alias) const;
  std::string ConvertDateToHours(const std::string& formula) const;
  std::string DayPart(const std::string& x) const;
  std::string DayOfWeek(const std::string& x) const;
  std::string MonthPart(const std::string& x) const;
  std::string YearPart(const std::string& x) const;
  std::string DayOfYear(const std::string& x) const;
  std::string DateAdd(const std::string& part, const std::string& number,
                      const std::string& date) const;
  std::string FirstDayOfYear(const std::string& date) const;
  std::string CastToInt(const std::string& x) const;
  std::string CastToNumeric(const std::string& x) const;
  std::string CastToStr(const std::string& x) const;
  // On Oracle the first call of the manager's run queues the getlong function
  // as the manager's pending statement.
  std::string LongCastToStr(const std::string& table, const std::string& column);
  std::string TEXT_Convert(const std::string& column) const;
  std::string isNullTest(const std::string& x) const;
  std::string isNullFunc(const std::string& x, const std::string& value) const;
  std::string IsNumeric(const std::string& x) const;
  std::string CrossJoin() const;

 private:
  void AppendConnector(const std::string& connector);

  std::shared_ptr<QueryBuilderState> state_;  // never null
  int32_t kind_ = -1;
  std::string select_keyword_;
  std::string table_name_;
  std::string table_alias_;
  std::string cols_;
  std::string filter_;
  std::string filter_join_;
  std::string join_;
  std::string embedded_table_query_;
  std::string clause_;
  std::string nolock_;          // fixed at creation
  std::string glue_connector_;  // fixed at creation
};

}  // namespace voltrane

#endif  // VOLTRANE_DBACCESS_QUERY_BUILDER_H_
