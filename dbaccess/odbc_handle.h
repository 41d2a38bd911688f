// OdbcHandle: owns one ODBC handle (environment, connection or statement) and
// frees it when it goes out of scope, so every path, including a thrown
// DbError, releases what it allocated.
//
// Also the error check used after every ODBC call: CheckOdbc turns a failed
// return code into the DbError of the handle's first diagnostic record (see
// odbc_error.h). A handle is used by one thread at a time.
#ifndef VOLTRANE_DBACCESS_ODBC_HANDLE_H_
#define VOLTRANE_DBACCESS_ODBC_HANDLE_H_

#include <sql.h>
#include <sqlext.h>

namespace dbaccess {

class OdbcHandle {
 public:
  OdbcHandle() = default;
  // Allocates a handle of `type` under `parent` (SQL_NULL_HANDLE for an
  // environment). Throws DbError when the driver manager refuses.
  OdbcHandle(SQLSMALLINT type, SQLHANDLE parent);
  ~OdbcHandle() { Reset(); }

  OdbcHandle(OdbcHandle&& other) noexcept;
  OdbcHandle& operator=(OdbcHandle&& other) noexcept;
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;

  SQLHANDLE get() const { return handle_; }
  SQLSMALLINT type() const { return type_; }
  explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }
  void Reset();

 private:
  SQLSMALLINT type_ = 0;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;  // owned; freed by Reset
};

// Throws the DbError of `handle`'s first diagnostic record unless `rc` is
// SQL_SUCCESS, SQL_SUCCESS_WITH_INFO or SQL_NO_DATA. `connection`, when given,
// is asked whether the failure lost the connection.
void CheckOdbc(SQLRETURN rc, const OdbcHandle& handle, SQLHDBC connection = SQL_NULL_HDBC);

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_ODBC_HANDLE_H_
