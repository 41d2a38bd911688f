// Operations of the library object whose features this build does not carry
// yet: the machine data records, the expired-shift handling, the heartbeat
// monitor and the cycle status locks. Public operations fail clearly instead
// of pretending to work (ComError E_NOTIMPL); the internal steps the
// processing loop already calls do nothing and report success, each saying
// so. Each is replaced by its feature.
#include <string>

#include "library/com_error.h"
#include "library/korvex7_obj.h"

namespace {

// E_NOTIMPL.
constexpr int32_t kErrNotImplemented = static_cast<int32_t>(0x80004001u);
constexpr const char* kSource = "Korvex7.CKorvex7Obj";

std::string NotAvailable(const std::string& operation) {
  return operation + " is not available in this build of the library.";
}

[[noreturn]] void ThrowNotAvailable(const std::string& operation) {
  throw ComError(kErrNotImplemented, std::string(kSource) + "." + operation,
                 NotAvailable(operation));
}

}  // namespace

void CKorvex7Obj::CompleteMachineDataRecord(int32_t) {
  ThrowNotAvailable("CompleteMachineDataRecord");
}

// Refresh requests: bringing a machine's records up to the row's time comes
// with the expired-shift handling; until then a refresh has nothing to do.
bool CKorvex7Obj::HandleExpiredShifts(int32_t, const dbaccess::DateTime&, int32_t&, bool) {
  return true;
}

// The heartbeat monitor is not built yet: no sign of life is recorded.
bool CKorvex7Obj::RecordHeartBeat(int32_t, const dbaccess::DateTime&, std::string&) { return true; }

// The heartbeat monitor is not built yet: no downtime is ended by timeout.
bool CKorvex7Obj::DoAutoEndDowntimes(int32_t, const dbaccess::DateTime&, std::string&) {
  return true;
}

// The heartbeat monitor is not built yet: no machine is found late.
bool CKorvex7Obj::DoCheckForLateHeartBeats(const dbaccess::DateTime&, std::string&) { return true; }

// The cycle status locks are not built yet: there is nothing to reload.
void CKorvex7Obj::LoadCycleStatusLocks() {}
