// `korvex7 count --failing`: the rows still waiting in the MDC log that
// failed at least once, as the library records them in
// T_SFC_MDC_LOG_FAILURE: key, machine, command, attempts, time of the last
// attempt (database time) and the last error. Read with a plain query on a
// connection of its own, one attempt; writes nothing.
#ifndef VOLTRANE_TOOLS_FAILING_ROWS_H_
#define VOLTRANE_TOOLS_FAILING_ROWS_H_

#include <ostream>

#include "tools/tool_options.h"

// Exit code 0 (also when no row ever failed), 1 when the database cannot be read.
int RunListFailingRows(const DatabaseChoice& choice, std::ostream& out, std::ostream& err);

#endif  // VOLTRANE_TOOLS_FAILING_ROWS_H_
