// FindCriterion: the search condition of Recordset::Find, such as
// "SHIFT_ID = 5", "NAME = 'A''B'" or "START_TIME >= #2024-01-31 06:00:00#".
//
// One column, one operator (= <> < > <= >=) and one literal: a number, a
// quoted text ('' stands for one quote) or a date-time between # marks.
// Numbers compare numerically, texts without regard to case, date-times as
// points in time; a text literal against a number or date-time field is read
// as a number or date-time. A null field, or a value that cannot be compared,
// never matches. Parse throws DbError kErrInvalidArgument for a malformed
// criterion. Immutable once parsed.
#ifndef VOLTRANE_DBACCESS_FIND_CRITERION_H_
#define VOLTRANE_DBACCESS_FIND_CRITERION_H_

#include <string>

#include "dbaccess/variant.h"

namespace dbaccess {

class FindCriterion {
 public:
  static FindCriterion Parse(const std::string& text);

  const std::string& Column() const { return column_; }
  bool Matches(const Variant& field_value) const;

 private:
  enum class Op { kEqual, kNotEqual, kLess, kGreater, kLessEqual, kGreaterEqual };

  std::string column_;
  Op op_ = Op::kEqual;
  Variant literal_;
};

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_FIND_CRITERION_H_
