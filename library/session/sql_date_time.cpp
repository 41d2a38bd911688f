#include "library/session/sql_date_time.h"

#include <fmt/format.h>

namespace korvex7::internal {

std::string FormatSQLDateTime(const dbaccess::DateTime& dtValue) {
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{:03}", dtValue.Year(), dtValue.Month(),
                     dtValue.Day(), dtValue.Hour(), dtValue.Minute(), dtValue.Second(),
                     dtValue.Millisecond());
}

std::string QuotedInsertDateTime(const dbaccess::DateTime& dtValue) {
  return fmt::format("'{:02}/{:02}/{:04} {:02}:{:02}:{:02}'", dtValue.Month(), dtValue.Day(),
                     dtValue.Year(), dtValue.Hour(), dtValue.Minute(), dtValue.Second());
}

}  // namespace korvex7::internal
