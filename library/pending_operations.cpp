// Operations of the library object whose features this build does not carry
// yet: the machine data records and the shift calendar. Public operations
// fail clearly instead of pretending to work (ComError E_NOTIMPL).
#include <string>

#include "library/com_error.h"
#include "library/korvex7_obj.h"

namespace {

// E_NOTIMPL.
constexpr int32_t kErrNotImplemented = static_cast<int32_t>(0x80004001u);
constexpr const char* kSource = "Korvex7.CKorvex7Obj";

[[noreturn]] void ThrowNotAvailable(const std::string& operation) {
  throw ComError(kErrNotImplemented, std::string(kSource) + "." + operation,
                 operation + " is not available in this build of the library.");
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
