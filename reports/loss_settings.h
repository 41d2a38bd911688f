// Where the loss model's settings live: two rows of T_SFC_OPTION under the
// reports' own application code 3 (the collector's options are code 2), so
// that every host's reports count losses alike.
//
//   option 1, number:  MicroStopSeconds, idle stretches shorter than it are
//                      minor stops (default 120; values below 0 read as 0);
//   option 2, boolean: ChangeoverIsPlanned, setups and teardowns leave the
//                      planned production time (default off; on when not 0).
//
// A missing row or a null value reads as the default. Database failures throw
// dbaccess::DbError. One thread per connection.
#ifndef VOLTRANE_REPORTS_LOSS_SETTINGS_H_
#define VOLTRANE_REPORTS_LOSS_SETTINGS_H_

#include <cstdint>

#include "dbaccess/connection.h"
#include "reports/loss_model.h"

namespace reports {

LossSettings ReadLossSettings(const dbaccess::ConnectionPtr& connection, int32_t kind);

// Writes both rows (adding what is missing) in one transaction.
void WriteLossSettings(const dbaccess::ConnectionPtr& connection, int32_t kind,
                       const LossSettings& settings);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_LOSS_SETTINGS_H_
