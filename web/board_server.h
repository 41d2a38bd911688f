// The board's HTTP server: the plant board page, one page per machine, the
// JSON API and the network intake of commands, on the configured database.
//
//   GET  /                          plant board (HTML)
//   GET  /machines/{number}         the machine's day and recent events (HTML)
//   GET  /api/v1/machines           every machine's tile, as JSON
//   GET  /api/v1/machines/{number}  one machine's tile and recent events
//   GET  /api/v1/oee?from=&to=      OEE per machine and shift, chart dates from..to
//   GET  /api/v1/log/count          {"count": rows waiting in the MDC log}
//   GET  /api/v1/alerts             {"alerts": [...]}: the active alerts (alert_engine.h)
//   POST /api/v1/commands           one command or an array of them (see command_body.h)
//   GET  /metrics                   the board's metrics (board_metrics.h), Prometheus text
//   GET  /healthz, /readyz          200 while it runs / while its database answers (else 503)
//
// Writing always needs a bearer token (token_store.h); reading needs one when
// the options say so (pages then also take it as ?token=); /healthz and
// /readyz never do. A token limited
// to machines may post only for those, a read-only one not at all (403).
// Answers: 201 {"appended": n}; 200 {"duplicate": true} when every command's
// "id" had been appended before (nothing appended again); 400 {"error",
// "field"} for a body of the wrong shape; 401 without a valid token; 413 for
// a body over the limit; 422 {"error", "index"} with the library's text for
// a command it would refuse (nothing of the batch is appended, except for a
// command's own "time" refused when the rows before it were appended:
// "appended" says how many); 503 when the database cannot be reached or
// fails part-way ({"appended": n} says how far it got). Every request is
// logged in one line through the log sink.
//
// Start() binds and serves on its own thread; Stop() (from any thread, also
// a signal-watching one) stops accepting, and Wait() returns once the
// requests in progress have finished. Destroying the server stops and waits.
#ifndef VOLTRANE_WEB_BOARD_SERVER_H_
#define VOLTRANE_WEB_BOARD_SERVER_H_

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "alerts/active_alerts.h"
#include "metrics/metric_registry.h"
#include "web/board_options.h"
#include "web/database_sessions.h"

namespace web {

using LogSink = std::function<void(const std::string& line)>;
using AlertSource = std::function<std::vector<alerts::Alert>()>;

class BoardServer {
 public:
  BoardServer(DatabaseTarget target, BoardOptions options, LogSink log);
  ~BoardServer();
  BoardServer(const BoardServer&) = delete;
  BoardServer& operator=(const BoardServer&) = delete;

  // Binds to the options' address (port 0: any free port) and starts serving.
  // False with `error` set when the address cannot be bound.
  bool Start(std::string& error);
  // The port bound by Start.
  int port() const { return port_; }
  // The board's metrics (board_metrics.h); others running in the same
  // process (the alerts) add their families to it.
  metrics::Registry& registry();
  // Where the banner and GET /api/v1/alerts read the active alerts; none:
  // no banner and an empty list. Set before Start.
  void SetAlertSource(AlertSource source);
  // Stops accepting; returns at once.
  void Stop();
  // Blocks until the server has stopped and its requests have finished. One
  // thread at a time.
  void Wait();

 private:
  class Impl;
  const BoardOptions options_;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace web

#endif  // VOLTRANE_WEB_BOARD_SERVER_H_
