// One line that names a failed log row and says why it failed, as the
// collector's reports and `korvex7 process` print it:
//   "MDC log row 123 (machine 101, command Setup start, attempt 2): <text>".
// Header only, so that a client of the public interface needs nothing else.
#ifndef VOLTRANE_LIBRARY_FAILED_LOG_ITEM_TEXT_H_
#define VOLTRANE_LIBRARY_FAILED_LOG_ITEM_TEXT_H_

#include <string>

#include "library/korvex7.h"

inline std::string FailedLogItemCommandText(const Korvex7FailedLogItem& item) {
  if (item.lCommandID == -1) return "refresh";
  std::string text = item.strCommandName.empty() ? "command id " + std::to_string(item.lCommandID)
                                                 : "command " + item.strCommandName;
  if (item.lCommandTimeCode == 0) text += " start";
  if (item.lCommandTimeCode == 1) text += " end";
  if (item.lCommandTimeCode == 2) text += " start and end";
  return text;
}

inline std::string FailedLogItemText(const Korvex7FailedLogItem& item) {
  std::string text = "MDC log row " + std::to_string(item.lMDCLogID) + " (";
  text += item.strMachineNumber.empty() ? "machine id " + std::to_string(item.lMachineID)
                                        : "machine " + item.strMachineNumber;
  text += ", " + FailedLogItemCommandText(item);
  // More than one attempt at first sight: the row failed before, in an earlier run.
  if (item.lAttempts > 0) text += ", attempt " + std::to_string(item.lAttempts);
  // Some of the library's texts begin with a blank.
  const size_t start = item.strError.find_first_not_of(' ');
  text += "): " + (start == std::string::npos ? std::string() : item.strError.substr(start));
  return text;
}

#endif  // VOLTRANE_LIBRARY_FAILED_LOG_ITEM_TEXT_H_
