// The single-instance guard over an exclusive flock.
#include "service/instance_guard.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "service/diagnostic_trace.h"
#include "service/service_identity.h"

namespace voltrane {
namespace {

std::string LockFolder() {
  const char* dir = std::getenv("VOLTRANE_LOCK_DIR");
  return dir && *dir ? dir : "/run/lock";
}

// The graphical session's desktop stands for the window station's desktop.
std::string DesktopName() {
  const char* desktop = std::getenv("XDG_SESSION_DESKTOP");
  return desktop && *desktop ? desktop : "";
}

// The kernel's audit session of this process stands for the logon session; none when unset.
bool LogonSessionId(uint64_t& id) {
  std::ifstream in("/proc/self/sessionid");
  uint64_t value = 0;
  if (!(in >> value) || value == 0xFFFFFFFFu) return false;
  id = value;
  return true;
}

std::string UserName() {
  const passwd* entry = getpwuid(geteuid());
  return entry && entry->pw_name ? entry->pw_name : "";
}

// An unset %USERDOMAIN% stays as written, as the expansion leaves it.
std::string UserDomain() {
  const char* domain = std::getenv("USERDOMAIN");
  return domain ? std::string(domain).substr(0, 63) : "%USERDOMAIN%";
}

}  // namespace

std::string InstanceMutexName(int32_t scope) {
  const std::string base = kInstanceMutexName;
  switch (scope) {
    case kScopeDesktop: {
      const std::string desktop = DesktopName();
      return desktop.empty() ? base + "-Win9x" : base + "-" + desktop;
    }
    case kScopeSession: {
      uint64_t id = 0;
      if (!LogonSessionId(id)) return base;
      return base + fmt::format("-{:08x}{:08x}", static_cast<uint32_t>(id >> 32),
                                static_cast<uint32_t>(id));
    }
    case kScopeUser: {
      const std::string user = UserName();
      if (user.empty()) return base;
      return base + fmt::format("-{}-{}", UserDomain(), user.substr(0, 63));
    }
    default:
      return base;
  }
}

std::string MemberMutexSuffix(const std::string& member) {
  if (member.empty()) return "";
  // Well below the 255 bytes of a file name, with the base name and ".lock".
  constexpr size_t kLongest = 150;
  std::string suffix = "-member-";
  for (const char c : member) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '.' || c == '_' || c == '-') {
      suffix += c;
    } else {
      suffix += fmt::format("%{:02X}", byte);
    }
    if (suffix.size() >= kLongest) break;
  }
  return suffix;
}

void CInstanceGuard::KeyByMember(const std::string& member) {
  if (m_fdLock >= 0) return;
  if (!m_bInitialised) Init(kScopeSystem);
  m_strName = InstanceMutexName(m_lScope) + MemberMutexSuffix(member);
}

CInstanceGuard::~CInstanceGuard() {
  if (m_fdLock >= 0) close(m_fdLock);
  m_bInitialised = false;
  m_strName.clear();
}

bool CInstanceGuard::Init(int32_t scope) {
  if (m_bInitialised) return scope == m_lScope;
  m_bInitialised = true;
  m_lScope = scope;
  m_strName = InstanceMutexName(scope);
  return true;
}

std::string CInstanceGuard::LockFilePath() const {
  return LockFolder() + "/" + m_strName + ".lock";
}

bool CInstanceGuard::IsAnotherInstanceRunning() {
  if (!m_bInitialised && !Init(kScopeSystem)) return false;
  if (m_fdLock >= 0) return false;  // this process already holds the lock
  const std::string path = LockFilePath();
  // Readable by every account, so that a copy started by another user can test the lock.
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) fchmod(fd, 0644);
  if (fd < 0 && errno == EACCES) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == EACCES || errno == EPERM) return true;
    VOLTRANE_TRACE(fmt::format("Cannot create the instance lock {}, errno:{}\n", path, errno));
    return false;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    if (!held) VOLTRANE_TRACE(fmt::format("Cannot lock {}, errno:{}\n", path, errno));
    return held;
  }
  m_fdLock = fd;
  return false;
}

}  // namespace voltrane
