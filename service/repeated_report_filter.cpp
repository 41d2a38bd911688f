#include "service/repeated_report_filter.h"

namespace voltrane {

bool RepeatedReportFilter::FirstTime(const std::string& text) {
  if (seen_.size() >= kMaxTexts) seen_.clear();
  return seen_.insert(text).second;
}

}  // namespace voltrane
