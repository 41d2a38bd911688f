// This computer's name, the root test and the file-system checks.
#include "manager/host_checks.h"

#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "dbaccess/computer_name.h"

namespace voltrane::manager {
namespace {

constexpr long kNfsMagic = 0x6969;
constexpr long kSmbMagic = 0x517B;
constexpr long kCifsMagic = 0xFF534D42;
constexpr long kSmb2Magic = 0xFE534D42;

}  // namespace

std::string RetrieveComputerName() { return ComputerName(); }

bool IsUserAnAdmin() { return geteuid() == 0; }

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsOnNetworkFileSystem(const std::string& path) {
  struct statfs info {};
  if (statfs(path.c_str(), &info) != 0) return false;
  const long magic = static_cast<long>(info.f_type) & 0xFFFFFFFFL;
  return magic == kNfsMagic || magic == kSmbMagic || magic == kCifsMagic || magic == kSmb2Magic;
}

}  // namespace voltrane::manager
