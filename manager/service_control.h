// ServiceControl: stopping and starting the collector service. The wizard
// sees only this interface; SystemctlServiceControl drives the systemd unit
// through `systemctl`, tests substitute a fake so the real system is never
// touched.
#ifndef VOLTRANE_MANAGER_SERVICE_CONTROL_H_
#define VOLTRANE_MANAGER_SERVICE_CONTROL_H_

#include <string>
#include <vector>

namespace voltrane::manager {

inline constexpr const char* kCollectorUnit = "voltrane-collector.service";

class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  // Stops the service; true only when it was running and the stop was accepted.
  virtual bool StopIfRunning() = 0;
  // Sends a start request; true when it was accepted.
  virtual bool Start() = 0;
};

class SystemctlServiceControl : public ServiceControl {
 public:
  explicit SystemctlServiceControl(std::string unit = kCollectorUnit,
                                   std::string systemctl = "systemctl");
  bool StopIfRunning() override;
  bool Start() override;

 private:
  // Runs systemctl with the arguments (no shell); its exit status, -1 when it could not run.
  int Run(const std::vector<std::string>& arguments) const;

  std::string unit_;
  std::string systemctl_;
};

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_SERVICE_CONTROL_H_
