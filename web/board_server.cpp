#include "web/board_server.h"

#include <fmt/format.h>
#include <strings.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>

#include "dbaccess/db_error.h"
#include "alerts/alert_engine.h"
#include "metrics/health_routes.h"
#include "web/board_json.h"
#include "web/board_metrics.h"
#include "web/board_page.h"
#include "web/board_reports.h"
#include "web/command_check.h"
#include "web/command_intake.h"
#include "web/connection_limit.h"
#include "web/machine_board.h"
#include "web/reference_cache.h"
#include "web/terminal_choices.h"
#include "web/terminal_page.h"
#include "web/token_store.h"

namespace web {
namespace {

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr int kRecentEvents = 20;

// What the log line of the request being handled on this thread needs to
// know besides the request and response; reset after each line.
struct RequestContext {
  std::optional<Clock::time_point> start;
  std::string token_name;
  TokenScope token_scope;
};
thread_local RequestContext t_context;

std::string Dump(const json& value) {
  // Texts from the database need not be valid UTF-8; replace rather than fail.
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

void SendJson(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_content(Dump(body), "application/json");
}

void SendError(httplib::Response& res, int status, const std::string& message) {
  SendJson(res, status, json{{"error", message}});
}

// One line of the board's banner: the rule, the machine, since when.
std::string AlertBannerText(const alerts::Alert& alert) {
  std::string text = alert.rule;
  if (!alert.machine.empty()) text += ": machine " + alert.machine;
  if (!alert.code_name.empty()) text += " (" + alert.code_name + ")";
  return text + " since " + alert.since.ToTextSeconds();
}

std::string BearerToken(const httplib::Request& req, bool allow_query) {
  const std::string header = req.get_header_value("Authorization");
  constexpr const char* kScheme = "bearer ";
  if (header.size() > 7 && strncasecmp(header.c_str(), kScheme, 7) == 0) {
    const size_t start = header.find_first_not_of(' ', 7);
    return start == std::string::npos ? std::string() : header.substr(start);
  }
  if (allow_query && req.has_param("token")) return req.get_param_value("token");
  return "";
}

}  // namespace

class BoardServer::Impl {
 public:
  Impl(DatabaseTarget target, BoardOptions options, LogSink log)
      : options_(std::move(options)),
        log_(std::move(log)),
        sessions_(std::move(target)),
        server_(options_.max_connections, options_.max_waiting_connections),
        metrics_([this] { return server_.OpenConnections(); }) {
    Configure();
    Route();
  }

  httplib::Server& server() { return server_; }
  metrics::Registry& registry() { return metrics_.registry(); }
  void SetAlertSource(AlertSource source) { alert_source_ = std::move(source); }

 private:
  void Configure() {
    server_.set_payload_max_length(options_.max_body_bytes);
    server_.set_read_timeout(options_.request_timeout_seconds, 0);
    server_.set_write_timeout(options_.request_timeout_seconds, 0);
    server_.set_keep_alive_timeout(5);
    server_.set_keep_alive_max_count(1000);
    // Small answers must not wait for the peer's delayed acknowledgement.
    server_.set_tcp_nodelay(true);
    server_.set_pre_routing_handler([](const httplib::Request&, httplib::Response& res) {
      t_context.start = Clock::now();
      if (!RefusingConnection()) return httplib::Server::HandlerResponse::Unhandled;
      res.set_header("Retry-After", "1");
      SendError(res, 503, "too many connections");
      return httplib::Server::HandlerResponse::Handled;
    });
    server_.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr raised) {
          std::string text = "internal error";
          try {
            std::rethrow_exception(raised);
          } catch (const std::exception& error) {
            text = error.what();
          } catch (...) {
          }
          SendError(res, 500, text);
        });
    server_.set_error_handler([](const httplib::Request&, httplib::Response& res) {
      if (!res.body.empty()) return;
      if (res.status == 413)
        SendError(res, 413, "request body too large");
      else if (res.status == 404)
        SendError(res, 404, "not found");
      else
        SendError(res, res.status, fmt::format("HTTP status {}", res.status));
    });
    // Counted before the answer is written, so that a client's next request sees it.
    server_.set_post_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
      metrics_.CountRequest(req.path, res.status);
    });
    server_.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
      LogRequest(req, res);
    });
  }

  void Route() {
    server_.Get("/", [this](const httplib::Request& req, httplib::Response& res) {
      if (!MayRead(req, res, true)) return;
      Reading(res, [&](Session& session) { BoardPage(session, res); });
    });
    server_.Get(
        R"(/machines/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
          if (!MayRead(req, res, true)) return;
          Reading(res, [&](Session& session) { MachinePage(session, req.matches[1], res); });
        });
    // The terminal's page holds no plant data, so it loads without a token
    // (one given as ?token= is kept by its script) and while the database is away.
    server_.Get(R"(/terminal/([^/]+))",
                [this](const httplib::Request& req, httplib::Response& res) {
                  res.set_header("Cache-Control", "no-store");
                  res.set_content(RenderTerminalPage(req.matches[1], options_.refresh_seconds),
                                  "text/html; charset=utf-8");
                });
    server_.Get("/api/v1/choices", [this](const httplib::Request& req, httplib::Response& res) {
      if (!MayRead(req, res, false)) return;
      Reading(res,
              [&](Session& session) { SendJson(res, 200, ReadTerminalChoices(session.Reads())); });
    });
    server_.Get("/api/v1/machines", [this](const httplib::Request& req, httplib::Response& res) {
      if (!MayRead(req, res, false)) return;
      Reading(res, [&](Session& session) { MachinesJson(session, res); });
    });
    server_.Get(
        R"(/api/v1/machines/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
          if (!MayRead(req, res, false)) return;
          Reading(res, [&](Session& session) { MachineJson(session, req.matches[1], res); });
        });
    server_.Get("/api/v1/oee", [this](const httplib::Request& req, httplib::Response& res) {
      if (!MayRead(req, res, false)) return;
      Reading(res, [&](Session& session) { OeeJson(session, req, res); });
    });
    server_.Get("/api/v1/log/count", [this](const httplib::Request& req, httplib::Response& res) {
      if (!MayRead(req, res, false)) return;
      Reading(res, [&](Session& session) {
        SendJson(res, 200, json{{"count", ReadLogCount(session.Reads())}});
      });
    });
    server_.Get("/api/v1/alerts", [this](const httplib::Request& req, httplib::Response& res) {
      if (!MayRead(req, res, false)) return;
      json list = json::array();
      for (const alerts::Alert& alert : ActiveAlerts()) {
        list.push_back(json::parse(alerts::AlertMessage(alert, "firing", "")));
      }
      SendJson(res, 200, json{{"alerts", std::move(list)}});
    });
    server_.Get("/metrics", [this](const httplib::Request& req, httplib::Response& res) {
      if (!MayRead(req, res, false)) return;
      metrics::AnswerMetrics(metrics_.registry(), res);
    });
    server_.Get("/healthz",
                [](const httplib::Request&, httplib::Response& res) { metrics::AnswerHealth(res); });
    server_.Get("/readyz", [this](const httplib::Request&, httplib::Response& res) {
      metrics::AnswerReadiness([this] { return DatabaseSilence(); }, res);
    });
    server_.Post("/api/v1/commands", [this](const httplib::Request& req, httplib::Response& res) {
      if (!Authorized(req, res, false)) return;
      if (t_context.token_scope.read_only) {
        SendError(res, 403, fmt::format("token \"{}\" may only read", t_context.token_name));
        return;
      }
      PostCommands(req, res);
    });
  }

  // --- access --------------------------------------------------------------------------

  bool MayRead(const httplib::Request& req, httplib::Response& res, bool page) {
    return !options_.read_requires_token || Authorized(req, res, page);
  }

  bool Authorized(const httplib::Request& req, httplib::Response& res, bool allow_query) {
    const std::optional<TokenGrant> grant = FindToken(BearerToken(req, allow_query));
    if (grant) {
      t_context.token_name = grant->name;
      t_context.token_scope = grant->scope;
      return true;
    }
    res.set_header("WWW-Authenticate", "Bearer realm=\"voltrane-board\"");
    SendError(res, 401, "a valid bearer token is required");
    return false;
  }

  // Runs a read on this thread's session; a database that cannot be reached
  // or fails is answered 503, and the read connection is opened afresh next time.
  template <typename Read>
  void Reading(httplib::Response& res, Read read) {
    Session* session = nullptr;
    try {
      session = &sessions_.ForThisThread();
      read(*session);
    } catch (const SessionError& error) {
      SendError(res, 503, error.what());
    } catch (const dbaccess::DbError& error) {
      if (session != nullptr) session->DropReads();
      SendError(res, 503, std::string("database error: ") + error.what());
    }
  }

  std::vector<alerts::Alert> ActiveAlerts() const {
    return alert_source_ ? alert_source_() : std::vector<alerts::Alert>();
  }

  // Why the database does not answer on this thread's session, or nothing.
  std::optional<std::string> DatabaseSilence() {
    Session* session = nullptr;
    try {
      session = &sessions_.ForThisThread();
      Now(*session);
      return std::nullopt;
    } catch (const SessionError& error) {
      return std::string(error.what());
    } catch (const dbaccess::DbError& error) {
      if (session != nullptr) session->DropReads();
      return std::string("database error: ") + error.what();
    }
  }

  // --- reads ---------------------------------------------------------------------------

  std::vector<MachineTile> Tiles(Session& session, const std::optional<std::string>& number,
                                 const dbaccess::DateTime& now) {
    std::vector<MachineTile> tiles =
        ReadMachineTiles(session.Reads(), session.database_type(), number);
    FillShiftOee(session.Reads(), session.database_type(), now, tiles);
    return tiles;
  }

  dbaccess::DateTime Now(Session& session) {
    return ReadDatabaseNow(session.Reads(), session.database_type());
  }

  void BoardPage(Session& session, httplib::Response& res) {
    const dbaccess::DateTime now = Now(session);
    const std::vector<MachineTile> tiles = Tiles(session, std::nullopt, now);
    std::vector<std::string> banner;
    for (const alerts::Alert& alert : ActiveAlerts()) banner.push_back(AlertBannerText(alert));
    res.set_content(RenderBoardPage(tiles, now, options_.refresh_seconds, banner),
                    "text/html; charset=utf-8");
  }

  void MachinePage(Session& session, const std::string& number, httplib::Response& res) {
    const dbaccess::DateTime now = Now(session);
    const std::vector<MachineTile> tiles = Tiles(session, number, now);
    if (tiles.empty()) {
      res.status = 404;
      res.set_content("<!DOCTYPE html><title>Not found</title><p>No such machine: " +
                          HtmlEscape(number) + "</p>",
                      "text/html; charset=utf-8");
      return;
    }
    const std::vector<MachineEvent> events = ReadRecentEvents(
        session.Reads(), session.database_type(), tiles[0].machine_id, kRecentEvents);
    const std::string timeline =
        MachineDayTimeline(session.Reads(), session.database_type(), tiles[0], now);
    res.set_content(RenderMachinePage(tiles[0], timeline, events, now), "text/html; charset=utf-8");
  }

  void MachinesJson(Session& session, httplib::Response& res) {
    const dbaccess::DateTime now = Now(session);
    const std::vector<MachineTile> tiles = Tiles(session, std::nullopt, now);
    res.set_header("X-Database-Time", TimeJson(now).get<std::string>());
    SendJson(res, 200, TilesJson(tiles));
  }

  void MachineJson(Session& session, const std::string& number, httplib::Response& res) {
    const std::vector<MachineTile> tiles = Tiles(session, number, Now(session));
    if (tiles.empty()) {
      SendError(res, 404, korvex7::NoSuchMachineRefusal(number).text);
      return;
    }
    json body = TileJson(tiles[0]);
    json events = json::array();
    for (const MachineEvent& event : ReadRecentEvents(session.Reads(), session.database_type(),
                                                      tiles[0].machine_id, kRecentEvents)) {
      events.push_back(EventJson(event));
    }
    body["events"] = std::move(events);
    SendJson(res, 200, body);
  }

  void OeeJson(Session& session, const httplib::Request& req, httplib::Response& res) {
    const std::string from = req.get_param_value("from");
    const std::string to = req.get_param_value("to");
    const std::optional<dbaccess::DateTime> from_day = dbaccess::DateTime::Parse(from);
    const std::optional<dbaccess::DateTime> to_day = dbaccess::DateTime::Parse(to);
    if (from.size() != 10 || !from_day) {
      SendJson(res, 400,
               json{{"error", "parameter \"from\" must be a date YYYY-MM-DD"}, {"field", "from"}});
      return;
    }
    if (to.size() != 10 || !to_day) {
      SendJson(res, 400,
               json{{"error", "parameter \"to\" must be a date YYYY-MM-DD"}, {"field", "to"}});
      return;
    }
    SendJson(res, 200, OeeRowsJson(session.Reads(), session.database_type(), *from_day, *to_day));
  }

  // --- intake --------------------------------------------------------------------------

  void PostCommands(const httplib::Request& req, httplib::Response& res) {
    ParsedBody parsed = ParseCommandBody(req.body, options_.body_limits);
    if (parsed.error) {
      SendJson(res, 400, json{{"error", parsed.error->message}, {"field", parsed.error->field}});
      return;
    }
    for (size_t i = 0; i < parsed.commands.size(); ++i) {
      if (!t_context.token_scope.MayPostFor(parsed.commands[i].machine)) {
        SendJson(res, 403,
                 json{{"error", fmt::format("token \"{}\" may not post for machine {}",
                                            t_context.token_name, parsed.commands[i].machine)},
                      {"index", i},
                      {"appended", 0}});
        return;
      }
    }
    Session* session = nullptr;
    try {
      session = &sessions_.ForThisThread();
      CachedReferences references(references_, session->Reads());
      if (const std::optional<RefusedCommand> refused =
              FirstRefusedCommand(parsed.commands, references)) {
        metrics_.CountRefused(refused->refusal.reason);
        SendJson(
            res, 422,
            json{{"error", refused->refusal.text}, {"index", refused->index}, {"appended", 0}});
        return;
      }
      const IntakeOutcome outcome = AppendCommands(session->Intake(), parsed.commands);
      metrics_.CountAppended(static_cast<int64_t>(outcome.appended));
      if (outcome.refusal != korvex7::Refusal::kNone) metrics_.CountRefused(outcome.refusal);
      SendIntakeOutcome(res, outcome);
    } catch (const SessionError& error) {
      SendJson(res, 503, json{{"error", error.what()}, {"appended", 0}});
    } catch (const dbaccess::DbError& error) {
      if (session != nullptr) session->DropReads();
      SendJson(res, 503,
               json{{"error", std::string("database error: ") + error.what()}, {"appended", 0}});
    }
  }

  // 201 when rows were appended; 200 with "duplicate" when every command had
  // been appended before; 422 for a refused time, 503 for a failure, each
  // with how far the batch got.
  static void SendIntakeOutcome(httplib::Response& res, const IntakeOutcome& outcome) {
    const size_t appended = outcome.appended;
    if (outcome.failure) {
      const int status = outcome.refusal == korvex7::Refusal::kNone ? 503 : 422;
      SendJson(res, status,
               json{{"error", *outcome.failure},
                    {"index", outcome.appended + outcome.duplicates},
                    {"appended", appended},
                    {"duplicates", outcome.duplicates}});
      return;
    }
    if (appended == 0) {
      SendJson(res, 200,
               json{{"appended", 0}, {"duplicate", true}, {"duplicates", outcome.duplicates}});
      return;
    }
    json body{{"appended", appended}};
    if (outcome.duplicates > 0) body["duplicates"] = outcome.duplicates;
    SendJson(res, 201, body);
  }

  // --- log -----------------------------------------------------------------------------

  void LogRequest(const httplib::Request& req, const httplib::Response& res) {
    std::string elapsed = "-";
    if (t_context.start) {
      const auto micros =
          std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - *t_context.start);
      elapsed = fmt::format("{:.1f}ms", micros.count() / 1000.0);
    }
    // The path without its query: a token given as ?token= stays out of the log.
    const std::string line = fmt::format(
        "{} {} {} {} {}B {} token={}", req.remote_addr.empty() ? "-" : req.remote_addr,
        req.method.empty() ? "-" : req.method, req.path.empty() ? "-" : req.path, res.status,
        res.body.size(), elapsed, t_context.token_name.empty() ? "-" : t_context.token_name);
    t_context = RequestContext{};
    if (log_) log_(line);
  }

  BoardOptions options_;
  LogSink log_;
  SessionPool sessions_;
  ReferenceCache references_;
  LimitedHttpServer server_;
  BoardMetrics metrics_;
  AlertSource alert_source_;
};

BoardServer::BoardServer(DatabaseTarget target, BoardOptions options, LogSink log)
    : options_(options),
      impl_(std::make_unique<Impl>(std::move(target), std::move(options), std::move(log))) {}

BoardServer::~BoardServer() {
  Stop();
  Wait();
}

bool BoardServer::Start(std::string& error) {
  httplib::Server& server = impl_->server();
  const int bound = options_.port == 0
                        ? server.bind_to_any_port(options_.host)
                        : (server.bind_to_port(options_.host, options_.port) ? options_.port : -1);
  if (bound < 0) {
    error = fmt::format("cannot listen on {}:{}", options_.host, options_.port);
    return false;
  }
  port_ = bound;
  thread_ = std::thread([&server] { server.listen_after_bind(); });
  // A stop before the loop runs would be lost: wait until it does.
  for (int i = 0; i < 500 && !server.is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void BoardServer::Stop() { impl_->server().stop(); }

metrics::Registry& BoardServer::registry() { return impl_->registry(); }

void BoardServer::SetAlertSource(AlertSource source) { impl_->SetAlertSource(std::move(source)); }

void BoardServer::Wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace web
