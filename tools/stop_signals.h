// SIGINT and SIGTERM as a request to stop between two steps of a long
// subcommand (processing the log, simulating a plant): the handler only sets
// a flag that the subcommand reads between its calls of the library, so a
// step in hand (a row and its transaction) is never cut. The first signal is
// caught; the handler then falls back to the default, so a second one ends
// the program at once.
#ifndef VOLTRANE_TOOLS_STOP_SIGNALS_H_
#define VOLTRANE_TOOLS_STOP_SIGNALS_H_

#include <signal.h>

#include <atomic>

// Clears an earlier request and installs the handler.
void CatchStopSignals();

// Set by the handler; read it between steps.
const std::atomic<bool>& StopRequested();

// The signal that asked to stop (SIGINT or SIGTERM), 0 when none did.
int StopSignalNumber();

// For a program that waits for SIGINT and SIGTERM itself (sigwaitinfo)
// instead: blocks both in this thread and the threads it starts afterwards.
// Returns the two; `previous` receives the mask to restore.
sigset_t BlockStopSignals(sigset_t& previous);

// The exit status of a program stopped by `signal_number`, as shells report it.
inline int ExitStatusForSignal(int signal_number) { return 128 + signal_number; }

#endif  // VOLTRANE_TOOLS_STOP_SIGNALS_H_
