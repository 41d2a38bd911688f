// The extended error log: the library's diagnostic trace, a text file named by
// the settings value "ExtendedErrorLog" under `Software\Voltrane\MDCService`
// of the machine hive; switched off when that value is absent or empty.
//
// Each line is the local time "yyyy-mm-dd hh:mm:ss", " - ", the message and CR
// LF. The file is opened for appending, written and closed for every line, so
// each line reaches the disk at once; it is meant for diagnosis only. Writing
// never reports a failure to the traced operation.
//
// Threading: the path and flags are module state held once per thread; a
// thread sees the setting read by the last library object it created.
#ifndef VOLTRANE_LIBRARY_EXTENDED_ERROR_LOG_H_
#define VOLTRANE_LIBRARY_EXTENDED_ERROR_LOG_H_

#include <string>

namespace korvex7::internal {

// Reads the "ExtendedErrorLog" setting into this thread's module state.
void ReadExtendedErrorLogSetting();

// Appends one time-stamped line when the log is enabled on this thread.
void WriteExtendedErrorLog(const std::string& message);

// This thread's module state, for diagnosis and tests.
bool ExtendedErrorLogEnabled();
const std::string& ExtendedErrorLogPath();

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_EXTENDED_ERROR_LOG_H_
