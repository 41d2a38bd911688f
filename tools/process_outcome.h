// What one call of DoNextItemFromMDCLog did, as `korvex7 process` counts it.
// The library's interface answers with a boolean and a text only; the one
// text that stands for progress without a true result is the out-of-order
// refusal, whose row the library removed from the log. The classification
// lives here alone so that a typed outcome can replace it in one place.
#ifndef VOLTRANE_TOOLS_PROCESS_OUTCOME_H_
#define VOLTRANE_TOOLS_PROCESS_OUTCOME_H_

#include <string>

enum class ProcessOutcome {
  kProcessed,          // a row went through and left the log
  kRemovedOutOfOrder,  // a row older than its machine's records was removed from the log
  kLogEmpty,           // nothing left to do
  kNoProgress,         // a note, a warning or a failed row: no row left the log
};

ProcessOutcome ClassifyProcessResult(bool result, const std::string& error);

#endif  // VOLTRANE_TOOLS_PROCESS_OUTCOME_H_
