// TEMPORARY: removed when the real implementations land (reg_settings.cpp,
// odbc_backend.cpp, sqlite_backend.cpp). Only lets test executables link
// while those files are written elsewhere; every backend here reports the
// provider as not installed, and the settings store returns the default.
#include "dbaccess/db_error.h"
#include "dbaccess/odbc_backend.h"

namespace dbaccess {

bool OdbcDriverInstalled(const std::string&) { return false; }

std::unique_ptr<Backend> MakeOdbcBackend(const std::string&) {
  throw DbError(kErrProviderNotFound, kTextProviderNotFound);
}

}  // namespace dbaccess
