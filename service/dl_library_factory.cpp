// Loading libkorvex7.so through its class registration.
#include "service/dl_library_factory.h"

#include <dlfcn.h>
#include <fmt/format.h>

#include "dbaccess/reg_settings.h"
#include "service/diagnostic_trace.h"

#ifndef VOLTRANE_INSTALLED_LIBRARY
#define VOLTRANE_INSTALLED_LIBRARY "libkorvex7.so.7"
#endif

namespace voltrane {
namespace {

std::string DefaultValue(const std::string& key_path) {
  CRegKey key;
  if (key.Open(RegHive::kClassesRoot, key_path) != kRegSuccess) return "";
  return key.StringValue("").value_or("");
}

std::string ClassIdOf(const std::string& prog_id_or_clsid) {
  if (!prog_id_or_clsid.empty() && prog_id_or_clsid.front() == '{') return prog_id_or_clsid;
  const std::string clsid = DefaultValue(prog_id_or_clsid + "\\CLSID");
  return clsid.empty() ? kKorvex7Clsid : clsid;
}

}  // namespace

std::string RegisteredLibraryPath(const std::string& prog_id_or_clsid) {
  const std::string path =
      DefaultValue("CLSID\\" + ClassIdOf(prog_id_or_clsid) + "\\InprocServer32");
  return path.empty() ? VOLTRANE_INSTALLED_LIBRARY : path;
}

LibraryCreation DlLibraryFactory::Create() {
  LibraryCreation creation;
  if (!handle_) {
    const std::string path = RegisteredLibraryPath(kKorvex7ProgId);
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      VOLTRANE_TRACE(fmt::format("dlopen {} failed: {}\n", path, dlerror()));
      creation.error_code = kErrorModuleNotFound;
      return creation;
    }
    create_ = reinterpret_cast<CreateFunction>(dlsym(handle, "Korvex7CreateObject"));
    release_ = reinterpret_cast<ReleaseFunction>(dlsym(handle, "Korvex7ReleaseObject"));
    if (!create_ || !release_) {
      VOLTRANE_TRACE(fmt::format("{} lacks the factory functions\n", path));
      dlclose(handle);
      creation.error_code = kErrorProcNotFound;
      return creation;
    }
    handle_ = handle;
  }
  const int32_t status = create_(kKorvex7ProgId, kKorvex7InterfaceIdV0, &creation.object);
  if (status != 0 || !creation.object) {
    creation.object = nullptr;
    creation.error_code = status;
  }
  return creation;
}

void DlLibraryFactory::Release(_CKorvex7Obj* object) {
  if (object && release_) release_(object);
}

}  // namespace voltrane
