// The heartbeat and downtime-timeout monitor of this build: not built yet.
// The steps the processing loop calls do nothing and report success.
#include <string>
#include <vector>

#include "library/korvex7_obj.h"

// No sign of life is recorded.
bool CKorvex7Obj::RecordHeartBeat(int32_t, const dbaccess::DateTime&, std::string&) { return true; }

// No downtime is ended by timeout.
bool CKorvex7Obj::DoAutoEndDowntimes(int32_t, const dbaccess::DateTime&, std::string&) {
  return true;
}

// No machine is found late.
bool CKorvex7Obj::DoCheckForLateHeartBeats(const dbaccess::DateTime&, std::string&) { return true; }

void CKorvex7Obj::LoadHeartBeatTable(const dbaccess::DateTime&) {}

std::string CKorvex7Obj::GetCommandIDList(const std::vector<int32_t>&) { return ""; }
