// What became of a log row, as its steps (log/process_row.cpp) report it to
// the processing loop; the loop acts on this, never on the error text. Plain enum.
#ifndef VOLTRANE_LIBRARY_CORE_ROW_OUTCOME_H_
#define VOLTRANE_LIBRARY_CORE_ROW_OUTCOME_H_

namespace korvex7::internal {

enum class RowOutcome {
  kDone,        // processed: the row joins the delete queue
  kFailed,      // the handler failed: the row stays in the log, the text says why
  kReread,      // the history copy or the refresh failed: the cache goes, the log is read again
  kOutOfOrder,  // older than its machine's records: removed from the log, noted in the diagnostic
                // log
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_CORE_ROW_OUTCOME_H_
