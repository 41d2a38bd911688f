// The operator terminal's script (terminal_script.cpp), plain JavaScript
// embedded in the binary: live state, the choices and confirmations of the
// actions, the token kept from ?token=, and the queue of actions waiting to
// be sent (localStorage), retried by a timer of its own.
#ifndef VOLTRANE_WEB_TERMINAL_SCRIPT_H_
#define VOLTRANE_WEB_TERMINAL_SCRIPT_H_

namespace web {

extern const char* const kTerminalScript;

}  // namespace web

#endif  // VOLTRANE_WEB_TERMINAL_SCRIPT_H_
