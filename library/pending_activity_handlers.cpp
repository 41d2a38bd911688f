// The setup, teardown, cycle, downtime, idle and part-count handlers and the
// cycle status lock of this build: not built yet. Each handler answers with a
// text naming itself, so their rows stay in the log until they exist.
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

bool CKorvex7Obj::DoSetupStart(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                               std::string& strError) {
  return NotAvailable("DoSetupStart", strError);
}

bool CKorvex7Obj::DoSetupEnd(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                             std::string& strError) {
  return NotAvailable("DoSetupEnd", strError);
}

bool CKorvex7Obj::DoTeardownStart(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                                  std::string& strError) {
  return NotAvailable("DoTeardownStart", strError);
}

bool CKorvex7Obj::DoTeardownEnd(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                                std::string& strError) {
  return NotAvailable("DoTeardownEnd", strError);
}

bool CKorvex7Obj::DoCycleStart(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                               std::string& strError) {
  return NotAvailable("DoCycleStart", strError);
}

bool CKorvex7Obj::DoCycleEnd(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                             std::string& strError) {
  return NotAvailable("DoCycleEnd", strError);
}

bool CKorvex7Obj::DoMachineDowntimeStart(int32_t, int32_t, int32_t, int32_t, const std::string&,
                                         const dbaccess::DateTime&, std::string& strError, bool) {
  return NotAvailable("DoMachineDowntimeStart", strError);
}

bool CKorvex7Obj::DoMachineDowntimeEnd(int32_t, int32_t, int32_t, int32_t,
                                       const dbaccess::DateTime&, std::string& strError) {
  return NotAvailable("DoMachineDowntimeEnd", strError);
}

bool CKorvex7Obj::DoUserDowntimeStart(int32_t, int32_t, int32_t, int32_t, const std::string&,
                                      const dbaccess::DateTime&, std::string& strError) {
  return NotAvailable("DoUserDowntimeStart", strError);
}

bool CKorvex7Obj::DoUserDowntimeEnd(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                                    std::string& strError) {
  return NotAvailable("DoUserDowntimeEnd", strError);
}

bool CKorvex7Obj::DoGoodPartCount(int32_t, int32_t, int32_t, int32_t, const std::string&,
                                  const dbaccess::DateTime&, std::string& strError) {
  return NotAvailable("DoGoodPartCount", strError);
}

bool CKorvex7Obj::DoScrappedPartCount(int32_t, int32_t, int32_t, int32_t, const std::string&,
                                      const dbaccess::DateTime&, std::string& strError) {
  return NotAvailable("DoScrappedPartCount", strError);
}

bool CKorvex7Obj::DoIdleStart(int32_t, int32_t, int32_t, int32_t, const dbaccess::DateTime&,
                              std::string& strError) {
  return NotAvailable("DoIdleStart", strError);
}

void CKorvex7Obj::StopCurrentActivity(int32_t, const dbaccess::DateTime&, int32_t, int32_t) {}

std::string CKorvex7Obj::CurrentDowntimeQueryText() { return ""; }

bool CKorvex7Obj::IsCommandLocked(int32_t, int32_t, int32_t, int32_t, const std::string&) {
  return false;
}

// Nothing to reload until the locks exist.
void CKorvex7Obj::LoadCycleStatusLocks() {}
