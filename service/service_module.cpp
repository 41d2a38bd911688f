// The service host: registration, installation, dispatch, control and Run.
#include "service/service_module.h"

#include <fmt/format.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <thread>

#include "settings/reg_settings.h"
#include "service/diagnostic_trace.h"
#include "service/key_watcher.h"
#include "service/message_catalogue.h"
#include "service/collector_operations.h"
#include "service/processing_worker.h"
#include "service/registration_data.h"
#include "service/service_account.h"
#include "service/service_identity.h"
#include "service/signal_watcher.h"
#include "service/systemd_unit.h"

namespace voltrane {
namespace {

constexpr uint32_t kEventTypesSupported = 7;  // error, warning, information

std::string Decimal(long long number) { return fmt::format("{}", number); }

// Files the collector creates (the SQLite database and its journals, MDCService.log) are
// readable by its group at most, however it is started.
constexpr mode_t kCollectorUmask = 0027;

// The machine store the installed service must read: the one this process uses, named in the
// unit only when it is not the default.
std::string MachineStoreForUnit() {
  const char* store = std::getenv("VOLTRANE_MACHINE_STORE");
  return store && *store ? HivePath(RegHive::kLocalMachine) : "";
}

// The base folder of the machine settings, which the service writes to.
std::string MachineBaseFolder() {
  const std::string folder =
      CRegSettings().GetMachineStringValue(kPathsKey, "", kDefaultBaseFolder);
  return folder.empty() ? kDefaultBaseFolder : folder;
}

// A base folder the unit's own state folder does not cover, or "".
std::string BaseFolderForUnit() {
  const std::string folder = MachineBaseFolder();
  return std::filesystem::path(folder).lexically_normal() ==
                 std::filesystem::path(kDefaultBaseFolder).lexically_normal()
             ? ""
             : folder;
}

}  // namespace

CServiceModule::CServiceModule(ServiceHostServices services)
    : m_services(std::move(services)), m_szServiceName(kServiceName), m_context(m_services.sinks) {}

std::string CServiceModule::ProgramPath() const {
  if (!m_services.program_path.empty()) return m_services.program_path;
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

// --- Registration -------------------------------------------------------------------------

int32_t CServiceModule::RegisterServer(bool bRegTypeLib, bool bService) {
  Uninstall();
  if (const int32_t applied = ApplyRegistrationData(); applied != kRegSuccess) return applied;

  CRegSettings settings;
  settings.DeleteMachineItem(AppIdKeyPath(), "LocalService");
  if (bService) {
    if (!settings.SaveMachineStringValue(AppIdKeyPath(), "LocalService", m_szServiceName) ||
        !settings.SaveMachineStringValue(AppIdKeyPath(), "ServiceParameters", "-Service")) {
      return RegistryWriteError();
    }
    Install();
  }
  return bRegTypeLib ? RegisterTypeLibrary(ProgramPath()) : kRegSuccess;
}

int32_t CServiceModule::UnregisterServer() {
  ReverseRegistrationData();
  Uninstall();
  UnregisterTypeLibrary();
  return 0;
}

bool CServiceModule::IsInstalled() {
  std::error_code error;
  return std::filesystem::exists(SystemdUnitPath(), error);
}

bool CServiceModule::Install() {
  if (IsInstalled()) return true;
  const std::string program_path = ProgramPath();
  // The unit runs the service as this account: without it the service cannot start.
  if (const int status =
          PrepareServiceAccount(*m_services.runner, m_services.account_exists, MachineBaseFolder());
      status != 0) {
    m_context.LogEvent(EventType::kError, MSG_CREATE_SERVICE_FAILED, Decimal(status));
    return false;
  }
  if (!CEventLogSource::Install(m_szServiceName, program_path, kEventTypesSupported,
                                *m_services.runner)) {
    VOLTRANE_TRACE(fmt::format("Failed to install event log source, GetLastError:{}\n", errno));
    return false;
  }
  std::error_code error;
  std::filesystem::create_directories(SystemdUnitDir(), error);
  if (!std::filesystem::is_directory(SystemdUnitDir())) {
    m_context.LogEvent(EventType::kError, MSG_SCM_CONNECT_FAILED, Decimal(error.value()));
    return false;
  }
  if (!WriteUnitFile(program_path)) {
    m_context.LogEvent(EventType::kError, MSG_CREATE_SERVICE_FAILED, Decimal(errno));
    return false;
  }
  m_services.runner->Run({"systemctl", "daemon-reload"});
  return true;
}

bool CServiceModule::WriteUnitFile(const std::string& program_path) {
  const std::string path = SystemdUnitPath();
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << SystemdUnitText(program_path, MachineStoreForUnit(), BaseFolderForUnit());
    if (!out.flush()) return false;
  }
  std::error_code error;
  std::filesystem::rename(temp, path, error);
  if (error) {
    std::filesystem::remove(temp, error);
    return false;
  }
  return true;
}

bool CServiceModule::Uninstall() {
  if (!IsInstalled()) return true;
  // Ask for the stop and go on: nothing waits for it.
  m_services.runner->Run({"systemctl", "stop", "--no-block", kUnitName});
  std::error_code error;
  const bool deleted = std::filesystem::remove(SystemdUnitPath(), error);
  if (!deleted) {
    m_context.LogEvent(EventType::kError, MSG_DELETE_SERVICE_FAILED, Decimal(error.value()));
  } else {
    m_services.runner->Run({"systemctl", "daemon-reload"});
  }
  CEventLogSource::Uninstall(m_szServiceName, *m_services.runner);
  return deleted;
}

// --- Dispatch and control -----------------------------------------------------------------

void CServiceModule::Start() {
  umask(kCollectorUmask);
  if (m_bService) {
    if (m_services.started_by_service_manager()) {
      RunServiceDispatcher();
      return;
    }
    m_bService = false;
  }
  RunApplication();
}

void CServiceModule::RunServiceDispatcher() {
  SignalWatcher controls;
  const bool registered = controls.Start({SIGTERM, SIGUSR1, SIGUSR2}, [this](int signal_number) {
    switch (signal_number) {
      case SIGTERM:
        Handler(SERVICE_CONTROL_STOP);
        break;
      case SIGUSR1:
        Handler(SERVICE_CONTROL_PAUSE);
        break;
      case SIGUSR2:
        Handler(SERVICE_CONTROL_CONTINUE);
        break;
    }
  });
  const int handler_error = registered ? 0 : (errno ? errno : EINVAL);
  std::thread service_thread([this, handler_error] { ServiceMain(handler_error); });
  service_thread.join();
}

void CServiceModule::RunApplication() {
  SignalWatcher signals;
  signals.Start({SIGINT, SIGTERM, SIGUSR1, SIGUSR2}, [this](int signal_number) {
    if (signal_number == SIGUSR1) {
      m_runQueue.Post(WM_SERVICE_PAUSE);
    } else if (signal_number == SIGUSR2) {
      m_runQueue.Post(WM_SERVICE_CONTINUE);
    } else {
      m_runQueue.Post(WM_QUIT);
    }
  });
  std::unique_ptr<KeyWatcher> keys;
  if (!NoConsole() && isatty(m_services.console_input)) {
    keys = std::make_unique<KeyWatcher>(m_services.console_input, stdout,
                                        [this] { m_runQueue.Post(WM_QUIT); });
    keys->Start();
  }
  Run();
  if (keys) keys->Finish();
}

void CServiceModule::ServiceMain(int handler_error) {
  m_status = SERVICE_START_PENDING;
  if (handler_error != 0) {
    m_context.LogEvent(EventType::kError, MSG_HANDLER_NOT_INSTALLED, Decimal(handler_error));
    return;
  }
  m_bService = true;
  SetServiceStatus(SERVICE_START_PENDING);
  Run();
  SetServiceStatus(SERVICE_STOPPED);
  m_context.LogEvent(EventType::kInformation, MSG_SERVICE_STOPPED);
}

void CServiceModule::Handler(uint32_t control) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      SetServiceStatus(SERVICE_STOP_PENDING);
      m_runQueue.Post(WM_QUIT);
      break;
    case SERVICE_CONTROL_PAUSE:
      SetServiceStatus(SERVICE_PAUSE_PENDING);
      m_runQueue.Post(WM_SERVICE_PAUSE);
      break;
    case SERVICE_CONTROL_CONTINUE:
      SetServiceStatus(SERVICE_CONTINUE_PENDING);
      m_runQueue.Post(WM_SERVICE_CONTINUE);
      break;
    case SERVICE_CONTROL_INTERROGATE:
      SetServiceStatus(m_status);
      break;
    default:
      m_context.LogEvent(EventType::kInformation, MSG_UNHANDLED_CONTROL, Decimal(control));
      break;
  }
}

void CServiceModule::SetServiceStatus(ServiceState state) {
  m_status = state;
  if (m_bService) m_services.status->ReportState(state);
}

// --- Run ----------------------------------------------------------------------------------

void CServiceModule::Run() {
  const bool console = !m_bService && !NoConsole();
  m_context.Init(m_szServiceName, m_bService, &m_runQueue, console);
  if (!m_bService) m_context.LogStatus(EventType::kInformation, "Running as an application");

  // Members of a collector group are kept apart by member name, so that several may run on one
  // computer, each with its own settings store.
  DatabaseConfiguration membership;
  const std::string member = m_services.reader(membership) == 0 && !membership.group_name.empty()
                                 ? membership.group_member
                                 : "";
  if (m_context.IsAnotherInstanceRunning(member)) {
    if (!member.empty()) {
      m_context.LogStatus(EventType::kError,
                          "Another collector on this computer already takes "
                          "part in a collector group as member '" +
                              member + "'");
    }
    m_context.LogEvent(EventType::kError, MSG_ANOTHER_INSTANCE);
    if (m_bService) SetServiceStatus(SERVICE_STOPPED);
    return;
  }

  auto operations = std::make_unique<CollectorOperations>(m_services.reader);
  operations->Start(ReadOperationsSettings(), m_context);
  auto worker = std::make_unique<CProcessingWorker>(m_context, *m_services.factory,
                                                    *m_services.waiter, m_services.reader);
  worker->SetMetrics(operations->metrics());
  worker->StartThread();
  m_context.LogEvent(EventType::kInformation, MSG_SERVICE_STARTED);
  if (m_bService) SetServiceStatus(SERVICE_RUNNING);

  for (uint32_t message = m_runQueue.Get(); message != WM_QUIT; message = m_runQueue.Get()) {
    if (message == WM_SERVICE_PAUSE) {
      m_context.RequestPause();
      if (m_bService) SetServiceStatus(SERVICE_PAUSED);
    } else if (message == WM_SERVICE_CONTINUE) {
      m_context.RequestContinue();
      if (m_bService) SetServiceStatus(SERVICE_RUNNING);
    }
  }

  m_context.LogEvent(EventType::kInformation, MSG_SERVICE_STOPPING);
  m_context.RequestStop();
  if (!worker->WaitForEnd()) {
    // The thread still uses the worker and its library object: both are left to it.
    worker.release();
    // So are the metrics it records into; only their listener ends.
    operations->Stop();
    operations.release();
    m_bWorkerAbandoned = true;
  }
  worker.reset();
  operations.reset();
  m_context.LogEvent(EventType::kInformation, MSG_SERVICE_STOPPED);
}

}  // namespace voltrane
