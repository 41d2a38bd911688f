#include "tools/mtconnect_command.h"

#include <fmt/format.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <optional>
#include <cstdlib>
#include <thread>
#include <vector>

#include "metrics/health_server.h"
#include "mtconnect/bridge_config.h"
#include "mtconnect/bridge_metrics.h"
#include "mtconnect/bridge_run.h"
#include "mtconnect/log_row_writer.h"
#include "mtconnect/reporter.h"
#include "mtconnect/stop_signal.h"
#include "tools/metrics_option.h"
#include "tools/stop_signals.h"

namespace {

using mtconnect::MachineConfig;

CLI::App* AddMachineOptions(CLI::App* command, MtconnectOptions& options) {
  const char* group = "One machine";
  command->add_option("--machine", options.machine_number, "Machine number (MACHINE_NUMBER)")
      ->group(group);
  CLI::Option* adapter =
      command->add_option("--adapter", options.adapter, "Live SHDR adapter HOST:PORT")
          ->group(group);
  CLI::Option* replay =
      command->add_option("--replay", options.replay, "Recorded SHDR file to replay")->group(group);
  CLI::Option* agent =
      command->add_option("--agent", options.agent, "MTConnect agent URL (http://host:port)")
          ->group(group);
  adapter->excludes(replay, agent);
  replay->excludes(agent);
  command->add_option("--speed", options.speed, "Replay speed; 0 = as fast as possible")
      ->check(CLI::NonNegativeNumber)
      ->group(group);
  command->add_option("--device", options.device, "Device name at the agent")->group(group);
  command
      ->add_option("--items", options.items,
                   "Data items: execution=...,part_count=...,program=...,operator=...,"
                   "availability=...,estop=...")
      ->group(group);
  command->add_flag("--job", options.job, "A new program starts a job instead of a part")
      ->group(group);
  command
      ->add_option("--downtime-code", options.downtime_code,
                   "Downtime code number while the machine is unavailable")
      ->group(group);
  command
      ->add_option("--estop-downtime-code", options.estop_downtime_code,
                   "Downtime code number of an emergency stop (default: --downtime-code)")
      ->group(group);
  command
      ->add_option("--silence-timeout", options.silence_timeout,
                   "Seconds an adapter without heartbeats may stay silent (600)")
      ->check(CLI::PositiveNumber)
      ->group(group);
  command->add_option("--retry-max", options.retry_max, "Longest wait between reconnects (60 s)")
      ->check(CLI::PositiveNumber)
      ->group(group);
  return command;
}

bool MachineFromOptions(const MtconnectOptions& options, MachineConfig& machine,
                        std::string& message) {
  machine.machine_number = options.machine_number;
  if (!options.adapter.empty()) {
    machine.source = mtconnect::SourceKind::kAdapter;
    if (!mtconnect::ParseHostPort(options.adapter, machine.adapter.host, machine.adapter.port,
                                  message)) {
      return false;
    }
  }
  if (!options.replay.empty()) machine.source = mtconnect::SourceKind::kReplay;
  if (!options.agent.empty()) machine.source = mtconnect::SourceKind::kAgent;
  machine.replay = {options.replay, options.speed};
  machine.agent.url = options.agent;
  machine.agent.device = options.device;
  if (!mtconnect::ApplyItemList(options.items, machine.mapping.items, message)) return false;
  machine.mapping.program_starts_job = options.job;
  machine.mapping.downtime_code = options.downtime_code;
  machine.mapping.estop_downtime_code = options.estop_downtime_code;
  if (options.silence_timeout > 0) {
    machine.adapter.silence_limit = std::chrono::seconds(options.silence_timeout);
  }
  if (options.retry_max > 0) {
    machine.adapter.retry_max = machine.agent.retry_max = std::chrono::seconds(options.retry_max);
  }
  return true;
}

bool SingleMachineOptionsGiven(const MtconnectOptions& options) {
  return !options.machine_number.empty() || !options.adapter.empty() || !options.replay.empty() ||
         !options.agent.empty() || !options.device.empty() || !options.items.empty() ||
         options.job || !options.downtime_code.empty() || !options.estop_downtime_code.empty() ||
         options.silence_timeout > 0 || options.retry_max > 0;
}

// One machine's thread: its own writer (and connection), its source.
void RunMachineThread(const DatabaseChoice& choice, const MachineConfig& machine,
                      mtconnect::Reporter& reporter, const mtconnect::StopSignal& stop,
                      mtconnect::MachineStatus* status, std::atomic<bool>& failed) {
  mtconnect::LogRowWriter writer(choice.connection_string, choice.database_type,
                                 machine.machine_number, reporter, stop);
  if (!mtconnect::RunMachine(machine, writer, reporter, stop, status)) failed = true;
}

// Waits for SIGINT or SIGTERM (blocked in every thread) until every machine
// is done; a signal stops them all.
void WaitForMachinesOrSignal(const sigset_t& signals, const std::atomic<size_t>& running,
                             mtconnect::StopSignal& stop, mtconnect::Reporter& reporter) {
  const timespec tick{0, 200 * 1000 * 1000};
  while (running.load() > 0) {
    const int signal_number = sigtimedwait(&signals, nullptr, &tick);
    if (signal_number > 0) {
      reporter.Report(mtconnect::Severity::kInfo,
                      fmt::format("Stopping on signal {}", signal_number));
      stop.Stop();
      return;
    }
  }
}

}  // namespace

CLI::App* AddMtconnectCommand(CLI::App& app, MtconnectOptions& options) {
  CLI::App* command = app.add_subcommand(
      "mtconnect",
      "Feed the MDC log from MTConnect machines: a live SHDR adapter, a recorded SHDR file or an "
      "MTConnect agent");
  command
      ->add_option("--config", options.config_path,
                   "TOML file with one [[machine]] table per machine")
      ->check(CLI::ExistingFile);
  command->add_option("--metrics", options.metrics_listen,
                      "Serve /metrics, /healthz and /readyz on HOST:PORT (\":PORT\": loopback)");
  AddMachineOptions(command, options);
  command->footer(
      "Mapping: execution ACTIVE = cycle start, leaving ACTIVE = cycle end; a rise of part_count "
      "= good parts; a new program = part start (--job: job start); a new operator = logon; "
      "availability UNAVAILABLE or estop TRIGGERED = machine downtime until AVAILABLE and ARMED.");
  return command;
}

int RunMtconnect(const DatabaseChoice& choice, const MtconnectOptions& options, std::ostream& err) {
  std::vector<MachineConfig> machines;
  std::string message;
  if (!options.config_path.empty()) {
    if (SingleMachineOptionsGiven(options)) {
      err << "Give either --config or one machine's options, not both.\n";
      return 1;
    }
    if (!mtconnect::LoadBridgeConfig(options.config_path, machines, message)) {
      err << message << "\n";
      return 1;
    }
  } else {
    MachineConfig machine;
    if (!MachineFromOptions(options, machine, message)) {
      err << message << "\n";
      return 1;
    }
    machines.push_back(std::move(machine));
  }
  if (!mtconnect::CheckMachines(machines, message)) {
    err << message << "\n";
    return 1;
  }
  MetricsListen metrics_listen;
  if (!ParseMetricsOption(options.metrics_listen, metrics_listen, err)) return 1;
  if (!DatabaseReachable(choice, err)) return 1;

  mtconnect::StreamReporter reporter(err, std::getenv("JOURNAL_STREAM") != nullptr);
  mtconnect::StopSignal stop;
  sigset_t previous;
  const sigset_t signals = BlockStopSignals(previous);  // the machines' threads inherit it

  // Started after the mask, so that its threads never take the signals.
  metrics::Registry registry;
  mtconnect::BridgeMetrics bridge_metrics(registry);
  metrics::HealthServer health(registry, [&choice] { return DatabaseSilence(choice); });
  if (!StartMetrics(health, metrics_listen, reporter, err)) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return 1;
  }

  std::atomic<bool> failed{false};
  std::atomic<size_t> running{machines.size()};
  std::vector<std::thread> threads;
  for (const MachineConfig& machine : machines) {
    mtconnect::MachineStatus* status = &bridge_metrics.ForMachine(machine.machine_number);
    threads.emplace_back([&, machine, status] {
      RunMachineThread(choice, machine, reporter, stop, status, failed);
      --running;
    });
  }
  WaitForMachinesOrSignal(signals, running, stop, reporter);
  for (std::thread& thread : threads) thread.join();
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return failed ? 1 : 0;
}
