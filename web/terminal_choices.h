// What an operator terminal offers to choose from, read with plain queries
// on a read connection: the operators (T_SFC_USER), the open jobs with their
// parts in order (T_SFC_JOB not closed, T_SFC_PART_PER_JOB), all parts and
// operations, the downtime codes a machine or an operator may give (by
// DOWNTIME_TYPE_CODE 0 machine, 1 user, 2 both) with whether they are
// planned, and the scrap codes. Reads only.
//
// Database failures escape as dbaccess::DbError. One thread per connection.
#ifndef VOLTRANE_WEB_TERMINAL_CHOICES_H_
#define VOLTRANE_WEB_TERMINAL_CHOICES_H_

#include <cstdint>
#include <nlohmann/json.hpp>

#include "dbaccess/connection.h"

namespace web {

// {"operators": [{"user", "name"}], "jobs": [{"job", "name", "parts": [...]}],
//  "parts": [...], "operations": [...],
//  "machine_downtime_codes": [{"code", "name", "planned"}], "user_downtime_codes": [...],
//  "scrap_codes": [{"code", "name"}]}
nlohmann::json ReadTerminalChoices(const dbaccess::ConnectionPtr& reads);

}  // namespace web

#endif  // VOLTRANE_WEB_TERMINAL_CHOICES_H_
