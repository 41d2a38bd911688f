// Diagnostic traces: developer notes on failures that are never shown to a
// user and never reach the event log. Written to standard error with the
// source file and line, only when VOLTRANE_DIAGNOSTIC_TRACE is set to "1".
// Thread-safe (one write per trace).
#ifndef VOLTRANE_SERVICE_DIAGNOSTIC_TRACE_H_
#define VOLTRANE_SERVICE_DIAGNOSTIC_TRACE_H_

#include <string>

namespace voltrane {

void DiagnosticTrace(const char* file, int line, const std::string& text);

}  // namespace voltrane

#define VOLTRANE_TRACE(text) ::voltrane::DiagnosticTrace(__FILE__, __LINE__, (text))

#endif  // VOLTRANE_SERVICE_DIAGNOSTIC_TRACE_H_
