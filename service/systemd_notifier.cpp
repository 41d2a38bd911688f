// State notifications to systemd.
#include "service/systemd_notifier.h"

#include <systemd/sd-daemon.h>

#include <cstdlib>

namespace voltrane {

std::string NotifyMessage(ServiceState state) {
  switch (state) {
    case SERVICE_START_PENDING:
      return "STATUS=Starting";
    case SERVICE_RUNNING:
      return "READY=1\nSTATUS=Running";
    case SERVICE_STOP_PENDING:
      return "STOPPING=1\nSTATUS=Stopping";
    case SERVICE_PAUSE_PENDING:
      return "STATUS=Pausing";
    case SERVICE_PAUSED:
      return "STATUS=Paused";
    case SERVICE_CONTINUE_PENDING:
      return "STATUS=Continuing";
    case SERVICE_STOPPED:
      return "STOPPING=1\nSTATUS=Stopped";
  }
  return "STATUS=Unknown";
}

bool SystemdNotifier::ReportState(ServiceState state) {
  return sd_notify(0, NotifyMessage(state).c_str()) > 0;
}

bool StartedBySystemd() {
  const char* invocation = std::getenv("INVOCATION_ID");
  const char* notify = std::getenv("NOTIFY_SOCKET");
  return invocation && *invocation && notify && *notify;
}

}  // namespace voltrane
