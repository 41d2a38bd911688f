// `korvex7 process [--max-idle-calls N]`: drains the MDC log the way the
// collector service's worker does, without its idle waits. It calls
// DoNextItemFromMDCLog until the log is empty (false with an empty text) and
// exits 0. Like the worker it keeps calling after a false result with a text
// (the version announcement, startup-check warnings, a failed row), so rows
// behind a failing row are still processed; each text goes to `err` once (a
// row failing at every retry says the same text) and the rows that failed are
// listed at the end with key, machine, command and attempts. It
// gives up with exit code 2 when N consecutive calls (default 50) made no
// progress: a row that fails at every refill, or a computer that is not the
// designated one. A row removed from the log as out of order is progress. A
// lost connection is connected again once per call; exit code 1 when that
// fails. SIGTERM or SIGINT stops it between two calls: the rows processed so
// far leave the log as the object is released, it says what it did and exits
// 143 or 130. On a terminal it shows rows done and rows per second; at the
// end it prints what it did to `out`. With --member NAME it is a member of
// the database's collector group: it processes the rows of the partitions it
// holds and ends (exit 0) once the whole log is empty; while other members
// still have rows it waits, looking at the log every fifth of the lease on a
// session of its own; a wait is no call without progress.
#ifndef VOLTRANE_TOOLS_PROCESS_COMMAND_H_
#define VOLTRANE_TOOLS_PROCESS_COMMAND_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <ostream>
#include <string>

#include "tools/tool_options.h"

struct ProcessOptions {
  int32_t max_idle_calls = 50;
  // With a member name: takes part in the database's collector group, and
  // runs until the whole log is empty (every member's rows), waiting while
  // others still have rows; --group names the group it must be.
  std::string member;
  std::string group;
};

CLI::App* AddProcessCommand(CLI::App& app, ProcessOptions& options);

int RunProcess(const DatabaseChoice& choice, const ProcessOptions& options, std::ostream& out,
               std::ostream& err, bool show_progress);

#endif  // VOLTRANE_TOOLS_PROCESS_COMMAND_H_
