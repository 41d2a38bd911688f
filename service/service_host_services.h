// ServiceHostServices: everything the service host reaches outside itself,
// gathered so that tests replace any part: the command runner (systemctl,
// journalctl), the library factory, the waits, the status reporter, the
// configuration reader, the event sinks, the service-manager detection, the
// account lookup, the program path and the console's input. The defaults are the real ones.
#ifndef VOLTRANE_SERVICE_SERVICE_HOST_SERVICES_H_
#define VOLTRANE_SERVICE_SERVICE_HOST_SERVICES_H_

#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "service/command_runner.h"
#include "service/dl_library_factory.h"
#include "service/event_log_source.h"
#include "service/event_waiter.h"
#include "service/service_account.h"
#include "service/service_config.h"
#include "service/systemd_notifier.h"

namespace voltrane {

struct ServiceHostServices {
  std::shared_ptr<CommandRunner> runner = std::make_shared<SpawnCommandRunner>();
  std::shared_ptr<LibraryFactory> factory = std::make_shared<DlLibraryFactory>();
  std::shared_ptr<EventWaiter> waiter = std::make_shared<RealTimeEventWaiter>();
  std::shared_ptr<ServiceStatusReporter> status = std::make_shared<SystemdNotifier>();
  ConfigurationReader reader = voltrane::ReadConfiguration;
  EventSinkFactory sinks = MakeSystemEventSink;
  std::function<bool()> started_by_service_manager = StartedBySystemd;
  // Whether the system knows a user; installation creates the service account when not.
  std::function<bool(const std::string&)> account_exists = SystemAccountExists;
  // The program's full path; empty: this process's executable.
  std::string program_path;
  int console_input = STDIN_FILENO;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_SERVICE_HOST_SERVICES_H_
