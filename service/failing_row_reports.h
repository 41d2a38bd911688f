// Which failing log rows the worker has reported in this run. A row that
// fails stays in the log and fails again at every refill; with a library that
// names the row (_CKorvex7Obj2) each row is reported once, by its key, so two
// rows failing with the same text are both reported. A row that failed in an
// earlier run of the collector is reported once more in this one, with its
// attempt count: whoever restarts the collector sees what is still stuck.
// Memory stays bounded: the keys are forgotten when the log is found empty
// (every failing row has left it), and the oldest key is forgotten when
// kMaxRows are held, so a row that keeps failing behind that many others may
// be reported again. Worker thread only.
#ifndef VOLTRANE_SERVICE_FAILING_ROW_REPORTS_H_
#define VOLTRANE_SERVICE_FAILING_ROW_REPORTS_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_set>

namespace voltrane {

class FailingRowReports {
 public:
  // True when the row with this MDC_LOG_ID has not been reported since the last Forget.
  bool FirstTime(int32_t mdc_log_id);
  void Forget();
  size_t Size() const { return keys_.size(); }

  static constexpr size_t kMaxRows = 1000;

 private:
  std::unordered_set<int32_t> keys_;
  std::deque<int32_t> order_;  // keys_ in the order they came, oldest first
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_FAILING_ROW_REPORTS_H_
