// The logon, job, operation, part and serial-number handlers of this build:
// not built yet. Each answers with a text naming itself, so their rows stay
// in the log until they exist.
#include <string>

#include "library/korvex7_obj.h"

namespace {

// Keeps the row in the log, naming what is missing, rather than dropping it
// unprocessed.
bool NotAvailable(const char* strHandler, std::string& strError) {
  strError = std::string(strHandler) + " is not available in this build of the library.";
  return false;
}

}  // namespace

bool CKorvex7Obj::DoLogonStart(int32_t, int32_t, int32_t, int32_t, const std::string&,
                               const dbaccess::DateTime&, std::string& strError, bool) {
  return NotAvailable("DoLogonStart", strError);
}

bool CKorvex7Obj::DoLogonEnd(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                             std::string& strError) {
  return NotAvailable("DoLogonEnd", strError);
}

bool CKorvex7Obj::DoJobStart(int32_t, int32_t, int32_t, int32_t, const std::string&,
                             const dbaccess::DateTime&, std::string& strError) {
  return NotAvailable("DoJobStart", strError);
}

bool CKorvex7Obj::DoJobEnd(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                           std::string& strError) {
  return NotAvailable("DoJobEnd", strError);
}

bool CKorvex7Obj::DoOpStart(int32_t, int32_t, int32_t, int32_t, const std::string&,
                            const dbaccess::DateTime&, std::string& strError) {
  return NotAvailable("DoOpStart", strError);
}

bool CKorvex7Obj::DoOpEnd(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                          std::string& strError) {
  return NotAvailable("DoOpEnd", strError);
}

bool CKorvex7Obj::DoPartStart(int32_t, int32_t, int32_t, int32_t, const std::string&,
                              const dbaccess::DateTime&, std::string& strError, bool&) {
  return NotAvailable("DoPartStart", strError);
}

bool CKorvex7Obj::DoPartEnd(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                            std::string& strError) {
  return NotAvailable("DoPartEnd", strError);
}

bool CKorvex7Obj::DoPartSerialNoStart(int32_t, int32_t, int32_t, int32_t, const std::string&,
                                      const dbaccess::DateTime&, std::string& strError) {
  return NotAvailable("DoPartSerialNoStart", strError);
}

bool CKorvex7Obj::DoPartSerialNoEnd(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                                    std::string& strError, bool) {
  return NotAvailable("DoPartSerialNoEnd", strError);
}

bool CKorvex7Obj::FindSerialOnOtherMachine(const std::string&, int32_t, const dbaccess::DateTime&,
                                           bool&, int32_t&) {
  return false;
}
