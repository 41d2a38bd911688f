// Creating the service account and handing it its files.
#include "service/service_account.h"

#include <fmt/format.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "settings/reg_settings.h"
#include "service/diagnostic_trace.h"

namespace voltrane {
namespace {

constexpr mode_t kBaseFolderMode = 0750;

// Only a folder of our own is handed over: a base folder set to a shared place (/srv, a
// home folder) must not change hands; the administrator opens it to the account.
bool IsOwnFolder(const std::filesystem::path& folder) {
  return folder == kDefaultBaseFolder || folder.filename() == kServiceAccountName;
}

// Gives the folder and the files in it to the account, without following links: a database
// or MDCService.log created by root before would refuse the service.
void GiveFolderToAccount(const std::filesystem::path& folder, uid_t uid, gid_t gid) {
  if (lchown(folder.c_str(), uid, gid) != 0 || chmod(folder.c_str(), kBaseFolderMode) != 0) {
    VOLTRANE_TRACE(fmt::format("Cannot give {} to {}, errno:{}\n", folder.string(),
                               kServiceAccountName, errno));
    return;
  }
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator(folder, error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (lchown(it->path().c_str(), uid, gid) != 0) {
      VOLTRANE_TRACE(fmt::format("Cannot give {} to {}, errno:{}\n", it->path().string(),
                                 kServiceAccountName, errno));
    }
  }
}

}  // namespace

bool SystemAccountExists(const std::string& name) { return getpwnam(name.c_str()) != nullptr; }

std::vector<std::string> CreateServiceAccountCommand() {
  std::vector<std::string> command{"useradd", "--system"};
  // A group left behind by an earlier account is taken over.
  if (getgrnam(kServiceAccountName) != nullptr) {
    command.insert(command.end(), {"--gid", kServiceAccountName});
  } else {
    command.push_back("--user-group");
  }
  command.insert(command.end(), {"--home-dir", kDefaultBaseFolder, "--no-create-home", "--shell",
                                 "/usr/sbin/nologin", "--comment", "Voltrane Collector Service",
                                 kServiceAccountName});
  return command;
}

int PrepareServiceAccount(CommandRunner& runner,
                          const std::function<bool(const std::string&)>& account_exists,
                          const std::string& base_folder) {
  if (!account_exists(kServiceAccountName)) {
    if (const int status = runner.Run(CreateServiceAccountCommand()); status != 0) return status;
  }
  const passwd* account = getpwnam(kServiceAccountName);
  if (account == nullptr) return 0;  // only a recorded creation: nothing to hand over
  std::error_code error;
  std::filesystem::path folder = std::filesystem::path(base_folder).lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();  // a trailing "/"
  // A link is not followed: it could name any folder of the system.
  if (!std::filesystem::is_directory(std::filesystem::symlink_status(folder, error))) {
    VOLTRANE_TRACE(fmt::format("The base folder {} is not a folder\n", folder.string()));
  } else if (!IsOwnFolder(folder)) {
    VOLTRANE_TRACE(fmt::format("The base folder {} is left as it is: open it to {}\n",
                               folder.string(), kServiceAccountName));
  } else {
    GiveFolderToAccount(folder, account->pw_uid, account->pw_gid);
  }
  if (!SecureMachineHiveFile()) {
    VOLTRANE_TRACE(fmt::format("Cannot give the settings store to {}, errno:{}\n",
                               kServiceAccountName, errno));
  }
  return 0;
}

}  // namespace voltrane
