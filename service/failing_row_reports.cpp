#include "service/failing_row_reports.h"

namespace voltrane {

bool FailingRowReports::FirstTime(int32_t mdc_log_id) {
  if (!keys_.insert(mdc_log_id).second) return false;
  order_.push_back(mdc_log_id);
  if (order_.size() > kMaxRows) {
    keys_.erase(order_.front());
    order_.pop_front();
  }
  return true;
}

void FailingRowReports::Forget() {
  keys_.clear();
  order_.clear();
}

}  // namespace voltrane
