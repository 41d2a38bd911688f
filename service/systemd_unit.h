// The systemd unit that stands for the installed service: its folder
// ($VOLTRANE_SYSTEMD_UNIT_DIR, default /etc/systemd/system), its path and its
// text: the packaged unit (packaging/voltrane-collector.service.in, built in:
// Type=notify, run as the account "voltrane" in systemd's sandbox) with the
// program's full path, the settings store's path and a writable base folder
// when these are not the defaults. Pure functions of the environment.
#ifndef VOLTRANE_SERVICE_SYSTEMD_UNIT_H_
#define VOLTRANE_SERVICE_SYSTEMD_UNIT_H_

#include <string>

namespace voltrane {

std::string SystemdUnitDir();
std::string SystemdUnitPath();

// machine_store: the hive the service must read, or "" for the default one; base_folder: a
// base folder outside the unit's own state folder, which the sandbox must let it write, or "".
std::string SystemdUnitText(const std::string& program_path, const std::string& machine_store,
                            const std::string& base_folder);

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_SYSTEMD_UNIT_H_
