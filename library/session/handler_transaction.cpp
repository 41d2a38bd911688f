// The one error path of the handlers: a handler's work runs in its own
// transaction, or in the transaction of a handler that called it. Whatever
// fails inside is rolled back as a whole, so a failed command never leaves
// half a record split behind; the caller gets the failure as a text (the
// locked-database message when the transaction cannot be begun or
// committed). Processing thread only.
#include <string>

#include "library/core/handler_outcome.h"
#include "library/core/out_of_order.h"
#include "library/session/error_text.h"
#include "library/session/session.h"
#include "library/session/string_table.h"

namespace korvex7::internal {

bool Session::RunHandlerTransaction(bool bOwnTransaction, int32_t lLockedMessageID,
                                    std::string& strError,
                                    const std::function<HandlerOutcome()>& body) {
  if (bOwnTransaction && !BeginTransaction()) {
    strError = LoadResMessage(lLockedMessageID);
    return false;
  }
  HandlerOutcome outcome = HandlerOutcome::kFailed;
  try {
    outcome = body();
  } catch (...) {
    strError = CurrentError().description;
    if (CaughtOutOfOrderRow()) m_bOutOfOrderRefused = true;
  }
  if (!bOwnTransaction) return outcome == HandlerOutcome::kDone;
  if (outcome == HandlerOutcome::kFailed) {
    RollbackTransaction();
    return false;
  }
  if (!CommitTransaction()) {
    // Work that was not committed must not count as done.
    RollbackTransaction();
    strError = LoadResMessage(lLockedMessageID);
    return false;
  }
  if (outcome == HandlerOutcome::kIgnored) strError.clear();
  return outcome == HandlerOutcome::kDone;
}

bool Session::RunHandlerTransaction(bool bOwnTransaction, int32_t lLockedMessageID,
                                    std::string& strError, const std::function<bool()>& body) {
  return RunHandlerTransaction(bOwnTransaction, lLockedMessageID, strError, [&] {
    return body() ? HandlerOutcome::kDone : HandlerOutcome::kFailed;
  });
}

}  // namespace korvex7::internal
