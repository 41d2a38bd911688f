// Reading an executed ODBC statement's current result set into a
// ResultTable: column metadata from SQLDescribeCol and SQLColAttribute (name,
// type, size, precision, scale, nullable, base table and column), then every
// row through SQLGetData.
//
// Exact numerics with scale 0 read as integers when they fit, other decimals
// as doubles; date-times keep their milliseconds; text reads in pieces of any
// length. Failures throw DbError. One statement at a time; not thread-safe.
#ifndef VOLTRANE_DBACCESS_ODBC_RESULT_READER_H_
#define VOLTRANE_DBACCESS_ODBC_RESULT_READER_H_

#include "dbaccess/backend.h"
#include "dbaccess/odbc_handle.h"

namespace dbaccess {

// The platform's field type for an ODBC SQL type.
FieldType FieldTypeForSqlType(SQLSMALLINT sql_type);

// Reads the current result set of `statement` (which must have columns).
// `wide_text`: read text as SQL_C_WCHAR rather than UTF-8 SQL_C_CHAR.
ResultTable ReadResultSet(const OdbcHandle& statement, SQLHDBC connection, bool wide_text);

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_ODBC_RESULT_READER_H_
