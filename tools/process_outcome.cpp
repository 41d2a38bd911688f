#include "tools/process_outcome.h"

#include <string_view>

#include "library/core/out_of_order.h"

namespace {

// The refusal's text after "log entry", where the library inserts the row's
// key: " is older than latest previously processed, throwing it out".
std::string_view OutOfOrderTail() {
  constexpr std::string_view kText = kOutOfOrderText;
  constexpr std::string_view kBeforeKey = "log entry";
  return kText.substr(kText.find(kBeforeKey) + kBeforeKey.size());
}

}  // namespace

ProcessOutcome ClassifyProcessResult(bool result, const std::string& error) {
  if (result) return ProcessOutcome::kProcessed;
  if (error.empty()) return ProcessOutcome::kLogEmpty;
  if (error.find(OutOfOrderTail()) != std::string::npos) return ProcessOutcome::kRemovedOutOfOrder;
  return ProcessOutcome::kNoProgress;
}
