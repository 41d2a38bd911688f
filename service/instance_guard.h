// CInstanceGuard: keeps a second copy of the collector (service or console
// program, any user) from running on the same computer. Collectors that take
// part in a collector group are kept apart by member name instead: several
// members, each with its own settings store, may run on one computer, but not
// two under the same name.
//
// The guard holds an exclusive flock on "<lock folder>/<mutex name>.lock"
// (lock folder /run/lock, or $VOLTRANE_LOCK_DIR) for the life of the process;
// the kernel drops it when the process ends, however it ends. The lock is only
// tested, never waited on, so the guard cannot deadlock. A lock file that
// cannot be created for any reason other than a refused access counts as no
// other instance, so the run goes on. Used on the run thread only.
#ifndef VOLTRANE_SERVICE_INSTANCE_GUARD_H_
#define VOLTRANE_SERVICE_INSTANCE_GUARD_H_

#include <cstdint>
#include <string>

namespace voltrane {

enum InstanceScope : int32_t {
  kScopeSystem = 0,
  kScopeDesktop = 1,
  kScopeSession = 2,
  kScopeUser = 3,
};

class CInstanceGuard {
 public:
  CInstanceGuard() = default;
  ~CInstanceGuard();
  CInstanceGuard(const CInstanceGuard&) = delete;
  CInstanceGuard& operator=(const CInstanceGuard&) = delete;

  // Composes the name once; later calls only tell whether the scope is the stored one.
  bool Init(int32_t scope);
  // Keys the guard by a collector group's member name ("": not a member, the computer-wide
  // guard). Only before the lock is held; then it keeps its name.
  void KeyByMember(const std::string& member);
  // True when another process holds the lock (or the lock file refuses us).
  bool IsAnotherInstanceRunning();

  const std::string& Name() const { return m_strName; }
  // The lock file of the composed name.
  std::string LockFilePath() const;

 private:
  bool m_bInitialised = false;
  int32_t m_lScope = kScopeSystem;
  std::string m_strName;
  int m_fdLock = -1;  // open and locked while this process is the running instance
};

// The mutex name of a scope (desktop, session and user names from this process's environment).
std::string InstanceMutexName(int32_t scope);
// The part a member name adds to the mutex name: "" for none, else "-member-" and the name with
// every byte other than letters, digits, '.', '_' and '-' as %XX (so it stays a file name).
std::string MemberMutexSuffix(const std::string& member);

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_INSTANCE_GUARD_H_
