// What the steps of a handler ended with. RunHandlerTransaction
// (handler_transaction.cpp) runs them in the handler's transaction: begin,
// run, commit. A begin or commit that fails even after its retries gives
// the handler's "database is currently locked" message; any exception from
// the steps rolls back and gives the error's description (an out-of-order
// refusal is also noted by its type for the log processor). Processing thread
// only.
#ifndef VOLTRANE_LIBRARY_CORE_HANDLER_OUTCOME_H_
#define VOLTRANE_LIBRARY_CORE_HANDLER_OUTCOME_H_

namespace korvex7::internal {

// What a handler's steps ended with.
enum class HandlerOutcome {
  kDone,     // commit; the handler succeeds
  kIgnored,  // commit; the handler returns false with an empty error (a locked command)
  kFailed,   // roll back; the steps have put the error text in place
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_CORE_HANDLER_OUTCOME_H_
