// Which texts of the library the worker reports when it cannot tell which
// row they belong to: every text of a library without _CKorvex7Obj2, and the
// texts of failures that are no row's (failing_row_reports.h covers the
// rest). A log row that fails stays in the log and fails again at every
// refill with the same text, so reporting every call would bury the journal
// under one row's retries. A text is reported the first time it comes; it is
// forgotten when the log is found empty, and all are forgotten when too many
// different texts pile up, so a problem that comes back is reported again.
// Worker thread only.
#ifndef VOLTRANE_SERVICE_REPEATED_REPORT_FILTER_H_
#define VOLTRANE_SERVICE_REPEATED_REPORT_FILTER_H_

#include <cstddef>
#include <set>
#include <string>

namespace voltrane {

class RepeatedReportFilter {
 public:
  // True when `text` has not come since the last Forget.
  bool FirstTime(const std::string& text);
  void Forget() { seen_.clear(); }

 private:
  static constexpr size_t kMaxTexts = 1000;
  std::set<std::string> seen_;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_REPEATED_REPORT_FILTER_H_
