// The library object's public dialect operation: the numeric cast of a column
// expression for the connected database kind.
#include "dbaccess/dialect.h"
#include "library/session/session.h"

namespace korvex7::internal {

std::string Session::CastToNumeric(std::string& strColExpression) {
  return voltrane::CastToNumeric(m_lDatabaseType, strColExpression);
}

}  // namespace korvex7::internal
