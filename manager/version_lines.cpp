// Page 0's version lines: the manager's own version and the library's, as
// its class registration in the settings store names it. The library is not
// loaded for this; manager and library are built from one tree, so its file
// version is the compiled-in project version.
#include "settings/reg_settings.h"
#include "manager/admin_wizard_rules.h"
#include "manager/host_checks.h"
#include "manager/string_resources.h"

namespace voltrane::manager {

std::string CAdminWizardRules::ManagerVersionLine() {
  return LoadResText(res::kVersion) + " " + VOLTRANE_VERSION;
}

std::string CAdminWizardRules::LibraryVersionLine() {
  std::string path = LoadResText(res::kNotFound);
  std::string version = LoadResText(res::kMissing);
  CRegSettings settings;
  const std::string class_id =
      settings.GetRegStringValue(RegHive::kClassesRoot, "Korvex7.CKorvex7Obj\\CLSID", "", "");
  if (!class_id.empty()) {
    const std::string key = "SOFTWARE\\Classes\\CLSID\\" + class_id;
    const std::string server =
        settings.GetRegStringValue(RegHive::kLocalMachine, key + "\\InprocServer32", "", "");
    if (!server.empty()) {
      path = server;
      version = std::string(VOLTRANE_VERSION) + "." +
                settings.GetRegStringValue(RegHive::kLocalMachine, key + "\\VERSION", "", "");
    }
  }
  return "Korvex7 V: " + version + " @ " + path;
}

}  // namespace voltrane::manager
