// OdbcHandle and CheckOdbc (see odbc_handle.h).
#include "dbaccess/odbc_handle.h"

#include <utility>

#include "dbaccess/db_error.h"
#include "dbaccess/odbc_error.h"

namespace dbaccess {

OdbcHandle::OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
  const SQLRETURN rc = SQLAllocHandle(type, parent, &handle_);
  if (!SQL_SUCCEEDED(rc)) {
    handle_ = SQL_NULL_HANDLE;
    throw DbError(kErrGenericFailure, "The ODBC driver manager could not allocate a handle.");
  }
}

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
  if (this != &other) {
    Reset();
    type_ = other.type_;
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

void OdbcHandle::Reset() {
  if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, std::exchange(handle_, nullptr));
}

void CheckOdbc(SQLRETURN rc, const OdbcHandle& handle, SQLHDBC connection) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return;
  throw ErrorFromDiagnostics(handle.type(), handle.get(), connection);
}

}  // namespace dbaccess
