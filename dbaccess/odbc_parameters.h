// OdbcParameters: the bound "?" markers of one ODBC statement and the buffers
// behind them, which must live until the statement has run and, for output
// markers, until their values are read back.
//
// Input values bind by their Variant type: integers as SQL_INTEGER when they
// fit 32 bits (so that PostgreSQL finds functions declared with integer
// arguments) and SQL_BIGINT otherwise, doubles as SQL_DOUBLE, text as
// variable text (wide or UTF-8, as the driver takes it), DateTime as
// SQL_TYPE_TIMESTAMP with milliseconds in the fraction, bool as SQL_BIT;
// empty and null bind as a null of unknown type. Procedure parameters bind by
// their declared ParamType and direction. Binding failures throw DbError.
// One statement at a time; not thread-safe.
#ifndef VOLTRANE_DBACCESS_ODBC_PARAMETERS_H_
#define VOLTRANE_DBACCESS_ODBC_PARAMETERS_H_

#include <memory>
#include <vector>

#include "dbaccess/backend.h"
#include "dbaccess/odbc_handle.h"
#include "dbaccess/odbc_text.h"
#include "dbaccess/variant.h"

namespace dbaccess {

class OdbcParameters {
 public:
  // `wide_text`: bind text as SQL_C_WCHAR (Unicode drivers) rather than UTF-8 SQL_C_CHAR.
  explicit OdbcParameters(bool wide_text);
  ~OdbcParameters();

  // Binds `values` as input markers 1..n of `statement`.
  void BindInputs(const OdbcHandle& statement, const std::vector<Variant>& values);

  // Binds one procedure parameter as the next marker.
  void BindProcedureParameter(const OdbcHandle& statement, const Parameter& parameter);

  // The value of marker `index` (0-based) after the statement has run:
  // output values, or null when the driver returned none.
  Variant OutputValue(size_t index) const;

 private:
  struct Slot;
  Slot& NewSlot();
  void FillFromValue(Slot& slot, const Variant& value) const;
  void FillForType(Slot& slot, ParamType type, const Variant& value, int size,
                   bool needs_room) const;
  void Bind(const OdbcHandle& statement, Slot& slot, SQLSMALLINT direction);

  bool wide_text_;
  std::vector<std::unique_ptr<Slot>> slots_;  // stable addresses for the driver
};

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_ODBC_PARAMETERS_H_
