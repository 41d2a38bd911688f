// SystemdNotifier: reports service states to systemd with sd_notify on the
// socket named by NOTIFY_SOCKET: READY=1 when running (also after a
// continue), STOPPING=1 when stopping or stopped, and STATUS= lines for every
// state so that `systemctl status` shows pause and continue. sd_notify is
// thread-safe; without NOTIFY_SOCKET nothing is sent and false is returned.
#ifndef VOLTRANE_SERVICE_SYSTEMD_NOTIFIER_H_
#define VOLTRANE_SERVICE_SYSTEMD_NOTIFIER_H_

#include <string>

#include "service/service_status.h"

namespace voltrane {

// The notification text of a state.
std::string NotifyMessage(ServiceState state);

class SystemdNotifier : public ServiceStatusReporter {
 public:
  bool ReportState(ServiceState state) override;
};

// Whether this process was started by systemd as a service (it sets INVOCATION_ID for a
// unit's processes and NOTIFY_SOCKET for a Type=notify unit).
bool StartedBySystemd();

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_SYSTEMD_NOTIFIER_H_
