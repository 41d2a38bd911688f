// Which alerts hold now, read from the records and the log in one pass per
// evaluation (a handful of plain statements, the same on every kind):
//
//   downtime  the current record's open downtime, longer than `minutes`,
//             of one of `codes` when given, planned codes only when asked;
//   silent    a machine in a shift (its current record has one) whose latest
//             sign of life (heartbeat, status change, a row it appended) is
//             older than `minutes`;
//   backlog   the oldest row waiting in the log, older than `seconds`;
//   failing   any row of the log that has failed (T_SFC_MDC_LOG_FAILURE),
//             one alert per machine.
//
// Ages are by the database's clock. Throws dbaccess::DbError when a
// statement fails (a missing table of failed rows is no failure).
#ifndef VOLTRANE_ALERTS_ACTIVE_ALERTS_H_
#define VOLTRANE_ALERTS_ACTIVE_ALERTS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "alerts/alert_config.h"
#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"

namespace alerts {

struct Alert {
  std::string rule;
  RuleKind kind = RuleKind::kDowntime;
  std::string machine;  // MACHINE_NUMBER; "" for the backlog
  dbaccess::DateTime since;
  std::string code;       // downtimes: DOWNTIME_CODE_NUMBER
  std::string code_name;  // downtimes: DOWNTIME_CODE_NAME

  // What makes an alert the same one from one evaluation to the next.
  std::string Key() const;
};

std::vector<Alert> ReadActiveAlerts(const dbaccess::ConnectionPtr& reads, int32_t kind,
                                    const std::vector<AlertRule>& rules);

}  // namespace alerts

#endif  // VOLTRANE_ALERTS_ACTIVE_ALERTS_H_
