// Operations of the library object whose features this build does not carry
// yet: the processing loop and custom-command pre-processing. Each
// fails clearly instead of pretending to
// work: operations with strError put a text naming the operation there and
// return false (or just return); the others throw ComError (E_NOTIMPL). Each
// is replaced by its feature.
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

bool CKorvex7Obj::DoNextItemFromMDCLog(std::string& strError) {
  strError = NotAvailable("DoNextItemFromMDCLog");
  return false;
}

int32_t CKorvex7Obj::GetMDCLogCount() { ThrowNotAvailable("GetMDCLogCount"); }

void CKorvex7Obj::CompleteMachineDataRecord(int32_t) {
  ThrowNotAvailable("CompleteMachineDataRecord");
}

bool CKorvex7Obj::DoPreProcessCustomCommands(std::string& strError, bool&) {
  strError = NotAvailable("DoPreProcessCustomCommands");
  return false;
}
