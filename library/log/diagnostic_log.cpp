// The diagnostic log: the text file "MDCService.log" in the software base
// folder, which receives every log row discarded because it arrived out of
// order, as the statement that would put it back into the log. Lines end with
// CR LF.
//
// The file is opened, appended to and closed for each row, so other programs
// can read it at any time. A failure is returned as text, never thrown.
// Processing thread only.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "settings/reg_settings.h"
#include "library/log/log_processor.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

constexpr const char* kDiagnosticLogName = "MDCService.log";
constexpr const char* kDiscardedRowLine =
    "Failed to process the following mdc_log entry because it was prior to a previously "
    "recorded entry";

}  // namespace

std::string LogProcessor::GetVoltraneSoftwareBasePath(std::string& strRegPath) {
  voltrane::CRegSettings settings;
  std::string strPath = settings.GetUserStringValue(voltrane::kPathsKey, "", "");
  if (!strPath.empty()) {
    strRegPath = std::string("HKEY_CURRENT_USER\\") + voltrane::kPathsKey;
    WriteExtendedErrorLog("GetVoltraneSoftwareBasePath1B - strPath = " + strPath +
                          ", regPath = " + strRegPath);
  } else {
    strPath = settings.GetMachineStringValue(voltrane::kPathsKey, "", voltrane::kDefaultBaseFolder);
    strRegPath = std::string("HKEY_LOCAL_MACHINE\\") + voltrane::kPathsKey;
    WriteExtendedErrorLog("GetVoltraneSoftwareBasePath1A - strPath = " + strPath +
                          ", regPath = " + strRegPath);
  }
  if (!strPath.empty()) {
    WriteExtendedErrorLog("GetVoltraneSoftwareBasePath1D - strPath = " + strPath);
  } else {
    strPath = voltrane::kDefaultBaseFolder;
    WriteExtendedErrorLog("GetVoltraneSoftwareBasePath1C - strPath = " + strPath);
  }
  return strPath;
}

bool LogProcessor::WriteDiagnosticLog(const std::string& strStatement,
                                      std::string& strPathOrError) {
  std::string strRegPath;
  std::string strPath = GetVoltraneSoftwareBasePath(strRegPath);
  if (strPath.empty() || strPath.back() != '/') strPath += "/";
  strPath += kDiagnosticLogName;
  errno = 0;
  std::ofstream file(strPath, std::ios::out | std::ios::app | std::ios::binary);
  if (file) file << kDiscardedRowLine << "\r\n" << strStatement << "\r\n";
  if (file) file.close();
  if (!file) {
    const std::string description = errno != 0 ? std::strerror(errno) : "write failed";
    strPathOrError = "oops, Couldn't write a log file: " + strPath + " - " + description;
    return false;
  }
  strPathOrError = strPath;
  return true;
}

}  // namespace korvex7::internal
