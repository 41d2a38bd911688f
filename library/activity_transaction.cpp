// RunInHandlerTransaction: the single error path of the setup, teardown,
// cycle, downtime, idle and part-count handlers (see handler_outcome.h).
#include <string>

#include "library/error_text.h"
#include "library/handler_outcome.h"
#include "library/korvex7_obj.h"
#include "library/string_table.h"

bool CKorvex7Obj::RunInHandlerTransaction(
    int32_t lLockedMessage, std::string& strError,
    const std::function<HandlerOutcome(std::string&)>& steps) {
  strError.clear();
  if (!BeginTransaction()) {
    strError = LoadResMessage(lLockedMessage);
    return false;
  }
  HandlerOutcome outcome = HandlerOutcome::kFailed;
  try {
    outcome = steps(strError);
  } catch (...) {
    strError = CurrentError().description;
    RollbackTransaction();
    return false;
  }
  if (outcome == HandlerOutcome::kFailed) {
    RollbackTransaction();
    return false;
  }
  if (!CommitTransaction()) {
    // Changes that were not committed must not count as recorded.
    RollbackTransaction();
    strError = LoadResMessage(lLockedMessage);
    return false;
  }
  strError.clear();
  return outcome == HandlerOutcome::kDone;
}
