// The service status protocol: the states a service reports and the reporter
// that carries them to the service manager (systemd here). Only the host's
// service mode reports; the reporter must accept calls from the run thread and
// the control handler's thread.
#ifndef VOLTRANE_SERVICE_SERVICE_STATUS_H_
#define VOLTRANE_SERVICE_SERVICE_STATUS_H_

#include <cstdint>

namespace voltrane {

enum ServiceState : uint32_t {
  SERVICE_STOPPED = 1,
  SERVICE_START_PENDING = 2,
  SERVICE_STOP_PENDING = 3,
  SERVICE_RUNNING = 4,
  SERVICE_CONTINUE_PENDING = 5,
  SERVICE_PAUSE_PENDING = 6,
  SERVICE_PAUSED = 7,
};

// The controls a service accepts (signals stand for them, see SignalWatcher).
enum ServiceControl : uint32_t {
  SERVICE_CONTROL_STOP = 1,
  SERVICE_CONTROL_PAUSE = 2,
  SERVICE_CONTROL_CONTINUE = 3,
  SERVICE_CONTROL_INTERROGATE = 4,
};

class ServiceStatusReporter {
 public:
  virtual ~ServiceStatusReporter() = default;
  // False when the service manager could not be told.
  virtual bool ReportState(ServiceState state) = 0;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_SERVICE_STATUS_H_
