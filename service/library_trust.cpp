// Ownership and mode checks of files that name or hold code to load.
#include "service/library_trust.h"

#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace voltrane {
namespace {

bool OwnedByRootOrUs(const struct stat& info) {
  return info.st_uid == 0 || info.st_uid == geteuid();
}

bool WritableByOthers(const struct stat& info) { return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0; }

std::string Mode(const struct stat& info) { return fmt::format("{:04o}", info.st_mode & 07777); }

// "" or why `path` fails; `subject` names it in the sentence.
std::string Reason(const std::string& path, const std::string& subject, bool is_folder) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    return fmt::format("{} cannot be examined: {}", subject, std::strerror(errno));
  }
  if (!OwnedByRootOrUs(info)) {
    return fmt::format("{} belongs to user id {}, not to root", subject, info.st_uid);
  }
  const bool sticky_folder = is_folder && (info.st_mode & S_ISVTX) != 0;
  if (WritableByOthers(info) && !sticky_folder) {
    return fmt::format("{} is writable by others (mode {})", subject, Mode(info));
  }
  return "";
}

}  // namespace

std::string UntrustedFileReason(const std::string& path, const std::string& role) {
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(path, error);
  if (error) return fmt::format("The {} {} cannot be examined: {}", role, path, error.message());
  const std::string file_subject = fmt::format("The {} {}", role, target.string());
  if (std::string reason = Reason(target.string(), file_subject, false); !reason.empty()) {
    return reason;
  }
  // Whoever may rename a folder on the way may put another file in its place.
  for (std::filesystem::path folder = target.parent_path();; folder = folder.parent_path()) {
    const std::string subject = fmt::format("The folder {} of the {}", folder.string(), role);
    if (std::string reason = Reason(folder.string(), subject, true); !reason.empty()) {
      return reason;
    }
    if (folder == folder.root_path() || !folder.has_relative_path()) return "";
  }
}

}  // namespace voltrane
