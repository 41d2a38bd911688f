// AliasAccount on Linux: the logon always fails (see alias_account.h), so no
// token is ever held and EndImpersonation has nothing to undo.
#include "dbaccess/alias_account.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace voltrane {

AliasAccount::AliasAccount(std::function<void(const std::string&)> trace)
    : trace_(std::move(trace)) {}

AliasAccount::~AliasAccount() {
  EndImpersonation();
  if (trace_) trace_("AliasAccount- terminate");
}

void AliasAccount::Init(const std::string& strUserName, const std::string& strPassword,
                        const std::string& strDomain) {
  user_name_ = strUserName;
  password_ = strPassword;
  domain_ = strDomain;
}

bool AliasAccount::BeginImpersonation() {
  // Any earlier impersonation of this object ends first, as a fresh logon would demand.
  EndImpersonation();
  logon_token_ = 0;
  duplicate_token_ = 0;
  // No per-thread logon service exists to hand the credentials to.
  last_error_ = kErrorLogonFailure;
  return false;
}

void AliasAccount::EndImpersonation() {
  if (!IsImpersonating()) return;
  duplicate_token_ = 0;
  logon_token_ = 0;
}

std::string CurrentUserName() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr) {
    return found->pw_name;
  }
  return "";
}

}  // namespace voltrane
