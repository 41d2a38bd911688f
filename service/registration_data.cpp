// Writing and removing the collector's registration data.
#include "service/registration_data.h"

#include <filesystem>

#include "settings/reg_settings.h"
#include "service/service_identity.h"

namespace voltrane {
namespace {

constexpr const char* kClasses = "Software\\Classes";

std::string TypeLibVersionKeyPath() { return TypeLibKeyPath() + "\\" + kTypeLibVersion; }

}  // namespace

std::string AppIdKeyPath() { return std::string(kClasses) + "\\AppID\\" + kAppId; }

std::string AppIdExeKeyPath() { return std::string(kClasses) + "\\AppID\\" + kAppIdExeKey; }

std::string TypeLibKeyPath() { return std::string(kClasses) + "\\TypeLib\\" + kTypeLibId; }

int32_t RegistryWriteError() {
  CRegKey key;
  const int32_t opened = key.Open(RegHive::kLocalMachine, kClasses);
  return opened != kRegSuccess && opened != kRegFileNotFound ? opened : kRegAccessDenied;
}

int32_t ApplyRegistrationData() {
  CRegSettings settings;
  if (!settings.SaveMachineStringValue(AppIdKeyPath(), "", kServiceName) ||
      !settings.SaveMachineStringValue(AppIdExeKeyPath(), "AppID", kAppId)) {
    return RegistryWriteError();
  }
  return kRegSuccess;
}

void ReverseRegistrationData() {
  CRegSettings settings;
  const std::string app_ids = std::string(kClasses) + "\\AppID";
  settings.DeleteMachineKey(app_ids, kAppId);
  settings.DeleteMachineKey(app_ids, kAppIdExeKey);
}

int32_t RegisterTypeLibrary(const std::string& program_path) {
  CRegSettings settings;
  const std::string version = TypeLibVersionKeyPath();
  const std::string folder = std::filesystem::path(program_path).parent_path().string();
  const bool written = settings.SaveMachineStringValue(version, "", kTypeLibHelpString) &&
                       settings.SaveMachineStringValue(
                           version + "\\" + kTypeLibLocale + "\\linux64", "", program_path) &&
                       settings.SaveMachineStringValue(version + "\\FLAGS", "", "0") &&
                       settings.SaveMachineStringValue(version + "\\HELPDIR", "", folder);
  return written ? kRegSuccess : RegistryWriteError();
}

void UnregisterTypeLibrary() {
  CRegSettings settings;
  const std::string version = TypeLibVersionKeyPath();
  settings.DeleteMachineKey(version + "\\" + kTypeLibLocale, "linux64");
  settings.DeleteMachineKey(version, kTypeLibLocale);
  settings.DeleteMachineKey(version, "FLAGS");
  settings.DeleteMachineKey(version, "HELPDIR");
  settings.DeleteMachineKey(TypeLibKeyPath(), kTypeLibVersion);
  settings.DeleteMachineKey(std::string(kClasses) + "\\TypeLib", kTypeLibId);
}

}  // namespace voltrane
