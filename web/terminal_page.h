// The operator terminal: one self-contained page per machine (inline style
// and script, nothing loaded from elsewhere) for a touch screen at the
// machine. The page holds no plant data itself; its script reads the
// machine's state (/api/v1/machines/{number}) and what may be chosen
// (/api/v1/choices) and posts the operator's actions to /api/v1/commands,
// each with an id and the local time it was made. An action the server does
// not answer waits in the browser's storage and is sent, in order, when it
// answers again, also after a reload.
//
// Elements tests and screen readers rely on: [data-action=NAME] for every
// action, [data-state=status|operator|job|part|queued|last-result] present
// from the first paint, choices carrying data-user, data-job, data-part,
// data-op or data-code, the input [data-entry] with
// [data-action=submit-entry], and [data-action=confirm] for logoff and
// job-end. Pure function; the machine number is HTML-escaped.
#ifndef VOLTRANE_WEB_TERMINAL_PAGE_H_
#define VOLTRANE_WEB_TERMINAL_PAGE_H_

#include <string>

namespace web {

// `refresh_seconds` is how often the page reads the machine's state.
std::string RenderTerminalPage(const std::string& machine_number, int refresh_seconds);

}  // namespace web

#endif  // VOLTRANE_WEB_TERMINAL_PAGE_H_
