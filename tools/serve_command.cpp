#include "tools/serve_command.h"

#include <fmt/format.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "alerts/alert_config.h"
#include "alerts/alert_engine.h"
#include "web/board_server.h"

CLI::App* AddServeCommand(CLI::App& app, ServeOptions& options) {
  CLI::App* serve = app.add_subcommand("serve",
                                       "Serve the plant board, the operator terminals, the JSON "
                                       "API and the command intake over HTTP");
  serve->add_option("--listen", options.listen,
                    "ADDRESS:PORT to listen on (default: the settings store's Listen value, "
                    "else 127.0.0.1:8080; [::1]:PORT for IPv6)");
  serve->add_option("--alerts", options.alerts_path,
                    "Alert rules and webhooks (TOML; default /etc/voltrane/alerts.toml when it "
                    "exists)")
      ->check(CLI::ExistingFile);
  return serve;
}

namespace {

constexpr const char* kDefaultAlertsPath = "/etc/voltrane/alerts.toml";

// The alerts file to read: the one named, the default one when it exists, or none.
std::string AlertsPath(const ServeOptions& options) {
  if (!options.alerts_path.empty()) return options.alerts_path;
  return access(kDefaultAlertsPath, F_OK) == 0 ? kDefaultAlertsPath : "";
}

}  // namespace

int RunServe(const DatabaseChoice& choice, const ServeOptions& options, std::ostream& out,
             std::ostream& err) {
  web::BoardOptions board = web::ReadBoardOptions();
  if (!options.listen.empty() && !web::ParseListenAddress(options.listen, board.host, board.port)) {
    err << fmt::format("--listen {}: expected ADDRESS:PORT\n", options.listen);
    return 1;
  }
  alerts::AlertConfig alert_config;
  const std::string alerts_path = AlertsPath(options);
  std::string message;
  if (!alerts_path.empty() && !alerts::LoadAlertConfig(alerts_path, alert_config, message)) {
    err << message << "\n";
    return 1;
  }
  // SIGTERM and SIGINT are taken by one thread that stops the server; every
  // other thread, the server's included, inherits the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  std::mutex log_mutex;
  web::BoardServer server({choice.connection_string, choice.database_type}, board,
                          [&out, &log_mutex](const std::string& line) {
                            std::lock_guard<std::mutex> lock(log_mutex);
                            out << line << std::endl;
                          });
  if (alert_config.board_url.empty()) {
    alert_config.board_url = fmt::format("http://{}:{}", board.host, board.port);
  }
  std::unique_ptr<alerts::AlertEngine> alert_engine;
  if (!alerts_path.empty()) {
    alert_engine = std::make_unique<alerts::AlertEngine>(
        choice.connection_string, choice.database_type, alert_config, server.registry());
    server.SetAlertSource([engine = alert_engine.get()] { return engine->Active(); });
  }
  std::string error;
  if (!server.Start(error)) {
    err << error << "\n";
    return 1;
  }
  if (alert_engine) {
    alert_engine->Start();
    std::lock_guard<std::mutex> lock(log_mutex);
    out << fmt::format("Alerts: {} rules from {}, {} webhooks", alert_config.rules.size(),
                       alerts_path, alert_config.webhooks.size())
        << std::endl;
  }
  {
    std::lock_guard<std::mutex> lock(log_mutex);
    out << fmt::format("Serving the plant board on http://{}:{}/ (reading {})", board.host,
                       server.port(), board.read_requires_token ? "needs a token" : "open")
        << std::endl;
  }
  std::atomic<bool> signalled{false};
  std::thread watcher([&server, &stop_signals, &out, &log_mutex, &signalled] {
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    signalled = true;
    {
      std::lock_guard<std::mutex> lock(log_mutex);
      out << fmt::format("Stopping on signal {}", signal_number) << std::endl;
    }
    server.Stop();
  });
  server.Wait();
  // The server may end without a signal (its socket failed): wake the watcher.
  if (!signalled) kill(getpid(), SIGTERM);
  watcher.join();
  if (alert_engine) alert_engine->Stop();
  out << "Stopped." << std::endl;
  return 0;
}
