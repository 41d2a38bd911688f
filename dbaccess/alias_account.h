// AliasAccount: logs another account on and impersonates it on the calling
// thread, so that an integrated-security connection can be opened under that
// account instead of the process's own.
//
// Linux has no per-thread logon and impersonation service comparable to
// LogonUser/ImpersonateLoggedOnUser: a process can change its identity only as
// a whole, only as root, and without checking a password. Rather than let one
// connection attempt silently change the identity of every thread,
// BeginImpersonation always fails with kErrorLogonFailure as the last error,
// exactly as a refused logon would; the connection class then goes on under
// the process's own account (Kerberos credentials of the service user).
//
// One object is used by one thread. Nothing here throws.
#ifndef VOLTRANE_DBACCESS_ALIAS_ACCOUNT_H_
#define VOLTRANE_DBACCESS_ALIAS_ACCOUNT_H_

#include <cstdint>
#include <functional>
#include <string>

namespace voltrane {

// The system error code of a refused logon ("The user name or password is incorrect").
inline constexpr uint32_t kErrorLogonFailure = 1326;

class AliasAccount {
 public:
  // `trace` receives the destruction line "AliasAccount- terminate" (may be empty).
  explicit AliasAccount(std::function<void(const std::string&)> trace = {});
  ~AliasAccount();
  AliasAccount(const AliasAccount&) = delete;
  AliasAccount& operator=(const AliasAccount&) = delete;

  void Init(const std::string& strUserName, const std::string& strPassword,
            const std::string& strDomain);

  const std::string& UserName() const { return user_name_; }
  void SetUserName(std::string value) { user_name_ = std::move(value); }
  const std::string& Password() const { return password_; }
  void SetPassword(std::string value) { password_ = std::move(value); }
  const std::string& Domain() const { return domain_; }
  void SetDomain(std::string value) { domain_ = std::move(value); }

  // True while a logon token is held.
  bool IsImpersonating() const { return logon_token_ != 0; }

  // Ends any earlier impersonation, then logs the account on and impersonates
  // it. Returns false when the logon fails; LastError() then gives the code.
  bool BeginImpersonation();
  // Ends the impersonation and drops the tokens; does nothing when none is held.
  void EndImpersonation();

  // The system error code of the last failed BeginImpersonation (0 when none).
  uint32_t LastError() const { return last_error_; }

 private:
  std::function<void(const std::string&)> trace_;
  std::string user_name_;
  std::string domain_;
  std::string password_;
  uintptr_t logon_token_ = 0;      // 0 when no account is logged on
  uintptr_t duplicate_token_ = 0;  // impersonation copy of logon_token_
  uint32_t last_error_ = 0;
};

// The user name the calling thread runs as (the effective user of the process).
std::string CurrentUserName();

}  // namespace voltrane

#endif  // VOLTRANE_DBACCESS_ALIAS_ACCOUNT_H_
