// What the wizard asks of this computer: its name (for the designation), the
// administrator test (effective user root), whether a file exists, and
// whether a path lies on a network file system, where SQLite's file locking
// cannot be trusted. Bundled as replaceable functions so tests can play
// another computer.
#ifndef VOLTRANE_MANAGER_HOST_CHECKS_H_
#define VOLTRANE_MANAGER_HOST_CHECKS_H_

#include <functional>
#include <string>

namespace voltrane::manager {

// gethostname, cut at the first NUL; "" when it cannot be read.
std::string RetrieveComputerName();
bool IsUserAnAdmin();
bool FileExists(const std::string& path);
// NFS, SMB/CIFS (and SMB2), by the file system's magic number of statfs.
bool IsOnNetworkFileSystem(const std::string& path);

struct HostChecks {
  std::function<std::string()> computer_name = RetrieveComputerName;
  std::function<bool(const std::string&)> file_exists = FileExists;
  std::function<bool(const std::string&)> on_network_file_system = IsOnNetworkFileSystem;
};

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_HOST_CHECKS_H_
