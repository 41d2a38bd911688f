// The late-heartbeat check of the idle log: a supervised machine silent for
// longer than its timeout is put into the late-heartbeat downtime (option
// 13), once; later checks find that downtime running and leave it alone until
// the machine speaks again (heart_beat_monitor.cpp).
//
// The check runs at most once every 20 seconds of the database time it is
// given, and only a complete pass counts: after a failure the next idle call
// checks again at once. A failure names the step in progress after the error.
// Processing thread only.
#include <string>

#include "dbaccess/dialect.h"
#include "dbaccess/elapsed_time.h"
#include "library/handlers/handlers.h"
#include "library/intake/intake.h"
#include "library/monitor/monitor.h"
#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kOptionLateHeartBeatDowntimeCode = 13;
constexpr int32_t kSecondsBetweenChecks = 20;

std::string TraceTime(const dbaccess::DateTime& dtTime) { return dtTime.ToTextSeconds(); }

}  // namespace

bool Monitor::DoCheckForLateHeartBeats(const dbaccess::DateTime& dtDatabaseTime,
                                       std::string& strError) {
  WriteExtendedErrorLog("DoCheckForLateHeartBeats");
  if (!m_bCheckHeartbeats) {
    WriteExtendedErrorLog("m_bCheckHeartbeats off");
    return true;
  }
  if (m_lLateHeartBeatDowntimeCodeID == -1) {
    GetNumOption(kOptionLateHeartBeatDowntimeCode, m_lLateHeartBeatDowntimeCodeID);
    LoadHeartBeatTable(dtDatabaseTime);
  }
  const dbaccess::DateTime dtNext = m_dtLastHeartBeatCheck.AddSeconds(kSecondsBetweenChecks);
  if (dbaccess::ElapsedMilliseconds(m_dtLastHeartBeatCheck, dtDatabaseTime) <
      kSecondsBetweenChecks * 1000) {
    WriteExtendedErrorLog("Skipping: " + TraceTime(dtDatabaseTime) +
                          " next check:" + TraceTime(dtNext));
    return true;
  }
  WriteExtendedErrorLog("Checking For Late Heart Beats..." + TraceTime(dtDatabaseTime) +
                        " >=" + TraceTime(dtNext));
  HeartBeatTable none;
  const bool bFirstFiltered = !m_filteredMachines;
  if (m_scope && bFirstFiltered) m_filteredMachines.emplace();
  for (auto& [strKey, info] : m_dictHeartBeats ? *m_dictHeartBeats : none) {
    const std::string strMachineID = strKey.substr(1);
    if (m_scope) {
      const int32_t lMachineID = std::stoi(strMachineID);
      if (!Supervises(lMachineID)) {
        m_filteredMachines->erase(lMachineID);
        continue;
      }
      if (m_filteredMachines->insert(lMachineID).second && !bFirstFiltered &&
          dbaccess::ElapsedMilliseconds(info.LastHeartBeat, dtDatabaseTime) > 0) {
        info.LastHeartBeat = dtDatabaseTime;
      }
    }
    if (!dbaccess::MoreThanElapsed(info.LastHeartBeat, dtDatabaseTime, info.Timeout * 1000LL)) {
      continue;
    }
    std::string strStep;
    try {
      if (!StartLateHeartBeatDowntime(strMachineID, dtDatabaseTime, strStep, strError)) {
        strError += " - " + strStep;
        return false;
      }
    } catch (...) {
      strError = CurrentError().description + " - " + strStep;
      return false;
    }
  }
  m_dtLastHeartBeatCheck = dtDatabaseTime;
  return true;
}

// The LastHeartBeat of the machine is left as it was, so that it stays late
// until it speaks again.
bool Monitor::StartLateHeartBeatDowntime(const std::string& strMachineID,
                                         const dbaccess::DateTime& dtNow, std::string& strStep,
                                         std::string& strError) {
  const int32_t lMachineID = std::stoi(strMachineID);
  strStep = "reading configured late HEARTBEAT downtime_code_id for MachineID =" + strMachineID;
  if (m_lLateHeartBeatDowntimeCodeID == -1) {
    GetNumOption(kOptionLateHeartBeatDowntimeCode, m_lLateHeartBeatDowntimeCodeID);
  }
  const std::string strCodeID = std::to_string(m_lLateHeartBeatDowntimeCodeID);

  strStep = "reading current machine status";
  int32_t lCodeID = -1;
  dbaccess::DateTime dtStatusDate;
  if (FindLateHeartBeatDowntime(lMachineID, lCodeID, dtStatusDate) == 1 &&
      lCodeID == m_lLateHeartBeatDowntimeCodeID) {
    WriteExtendedErrorLog("Missing heartbeat for MACHINE_ID = " + strMachineID +
                          " - but the DOWNTIME_CODE_ID of " + strCodeID +
                          " is already successfully recorded and current status is down");
    return true;
  }

  WriteExtendedErrorLog("Heartbeat missing post log entry to update machine state");
  strStep = "looking up Dept,Location,Group ID's from MACHINE_ID=" + strMachineID;
  const std::string strCodeNumber = GetScalarText(
      "select DOWNTIME_CODE_NUMBER from T_SFC_DOWNTIME_CODE" +
      voltrane::NoLockHint(DatabaseType()) + " where DOWNTIME_CODE_ID = " + strCodeID);
  if (strCodeNumber.empty()) {
    strError = "invalid heartbeat configuration, no such downtimecode id=" + strCodeID;
    return false;
  }

  strStep = "generating automatic start of machine downtime for late HEARTBEAT, MACHINE_ID=" +
            strMachineID;
  CommandContext command = MonitorCommand(lMachineID, dtNow).WithParam(strCodeNumber);
  command.late_heart_beat = true;
  handlers_.activity.DoMachineDowntimeStart(command, strError);
  return strError.empty();
}

}  // namespace korvex7::internal
