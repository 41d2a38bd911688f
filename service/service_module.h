// CServiceModule: the service host. It registers and unregisters the program
// (registration data, systemd unit, journal catalog), runs as a systemd
// service or as a console program, turns controls (signals) into messages for
// the run thread, and in Run owns the one processing worker.
//
// Threads: in service mode the caller of Start waits while a service thread
// runs ServiceMain and Run, and a signal watcher thread runs Handler; in
// application mode the caller of Start runs Run, beside a signal watcher and,
// on a terminal, the key watcher. Handler and the watchers only post messages;
// the run thread alone sets the context's events and destroys the worker.
#ifndef VOLTRANE_SERVICE_SERVICE_MODULE_H_
#define VOLTRANE_SERVICE_SERVICE_MODULE_H_

#include <atomic>
#include <cstdint>
#include <string>

#include "service/service_context.h"
#include "service/service_host_services.h"
#include "service/service_status.h"
#include "service/thread_message_queue.h"

namespace voltrane {

class CServiceModule {
 public:
  explicit CServiceModule(ServiceHostServices services = {});
  virtual ~CServiceModule() = default;
  CServiceModule(const CServiceModule&) = delete;
  CServiceModule& operator=(const CServiceModule&) = delete;

  // 0 or a registry error code. Always removes an installed service first.
  int32_t RegisterServer(bool bRegTypeLib, bool bService);
  int32_t UnregisterServer();

  bool IsInstalled();
  // Creates the service account when missing (and hands it the base folder and the settings
  // store), installs the journal catalog, writes the unit and reloads systemd; true when
  // installed.
  bool Install();
  // Stops (without waiting) and removes the unit, then the journal catalog; true when the
  // unit file was removed.
  bool Uninstall();

  // Runs as a service when the service manager started the process, else as an application.
  void Start();
  // The service function; handler_error is the errno of a failed handler set-up, 0 if none.
  void ServiceMain(int handler_error);
  void Handler(uint32_t control);
  void Run();

  // Records the state and, as a service, reports it.
  void SetServiceStatus(ServiceState state);

  CServiceContext& Context() { return m_context; }
  ThreadMessageQueue& RunQueue() { return m_runQueue; }
  bool IsService() const { return m_bService; }
  ServiceState CurrentState() const { return m_status; }
  // True when Run had to abandon a worker that did not end in time; the process must then
  // end without running static destructors.
  bool WorkerAbandoned() const { return m_bWorkerAbandoned; }
  // The exit code of the status record (always 0).
  int ExitCode() const { return 0; }

 protected:
  virtual bool NoConsole() const { return false; }
  std::string ProgramPath() const;

 private:
  void RunServiceDispatcher();
  void RunApplication();
  bool WriteUnitFile(const std::string& program_path);

  ServiceHostServices m_services;
  std::string m_szServiceName;
  // Written by the run thread and the control handler's thread.
  std::atomic<ServiceState> m_status{SERVICE_STOPPED};
  ThreadMessageQueue m_runQueue;
  std::atomic<bool> m_bService{true};
  bool m_bWorkerAbandoned = false;
  CServiceContext m_context;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_SERVICE_MODULE_H_
