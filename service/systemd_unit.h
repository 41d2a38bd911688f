// The systemd unit that stands for the installed service: its folder
// ($VOLTRANE_SYSTEMD_UNIT_DIR, default /etc/systemd/system), its path and its
// text (Type=notify, the program's full path, restart on failure, run as root
// so that the machine settings store, mode 0600, is readable, and the store's
// path when it is not the default). Pure functions of the environment.
#ifndef VOLTRANE_SERVICE_SYSTEMD_UNIT_H_
#define VOLTRANE_SERVICE_SYSTEMD_UNIT_H_

#include <string>

namespace voltrane {

std::string SystemdUnitDir();
std::string SystemdUnitPath();

// machine_store: the hive the service must read, or "" for the default one.
std::string SystemdUnitText(const std::string& program_path, const std::string& machine_store);

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_SYSTEMD_UNIT_H_
