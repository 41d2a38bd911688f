// The unprivileged account the installed collector runs as (kServiceAccountName,
// "voltrane", a system user with a group of the same name). Installation makes
// sure the account exists, owns the base folder and can read the machine
// settings store; none of this is needed for a run started by hand. Called on
// the main thread during "-Service" only.
#ifndef VOLTRANE_SERVICE_SERVICE_ACCOUNT_H_
#define VOLTRANE_SERVICE_SERVICE_ACCOUNT_H_

#include <functional>
#include <string>
#include <vector>

#include "service/command_runner.h"

namespace voltrane {

// Whether the system knows the user `name`.
bool SystemAccountExists(const std::string& name);

// The useradd command that creates the account: a system user with its own group, home in
// the default base folder (not created), no login shell.
std::vector<std::string> CreateServiceAccountCommand();

// Creates the account through `runner` when `account_exists` says it is missing; then, when
// the account is there, gives it the base folder and the files in it (when the folder
// exists and is the default one or is named like the account: the unit's StateDirectory
// creates the default one) and the machine settings store's group. 0, or
// the exit status of the failed account creation.
int PrepareServiceAccount(CommandRunner& runner,
                          const std::function<bool(const std::string&)>& account_exists,
                          const std::string& base_folder);

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_SERVICE_ACCOUNT_H_
