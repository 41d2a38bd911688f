// Loading libkorvex7.so through its class registration.
#include "service/dl_library_factory.h"

#include <dlfcn.h>
#include <fmt/format.h>

#include <filesystem>

#include "settings/reg_settings.h"
#include "service/diagnostic_trace.h"
#include "service/library_trust.h"

#ifndef VOLTRANE_INSTALLED_LIBRARY
#define VOLTRANE_INSTALLED_LIBRARY "libkorvex7.so.7"
#endif

namespace voltrane {
namespace {

constexpr int32_t kNoInterface = static_cast<int32_t>(0x80004002u);

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

// The library file the class registration names, "" when there is none.
std::string RegistrationPath(const std::string& prog_id_or_clsid) {
  return DefaultValue("CLSID\\" + ClassIdOf(prog_id_or_clsid) + "\\InprocServer32");
}

// "" when the library at `path` may be loaded, else why not. A bare file name is found by
// the loader in the system's folders; a file that does not exist fails in the loader.
std::string LoadRefusal(const std::string& path, bool registered) {
  if (registered) {
    const std::string store =
        UntrustedFileReason(HivePath(RegHive::kClassesRoot), "settings store");
    if (!store.empty()) {
      return fmt::format("The class registration of {} is not honoured: {}.", kKorvex7ProgId,
                         store);
    }
  }
  std::error_code error;
  if (path.find('/') == std::string::npos || !std::filesystem::exists(path, error)) return "";
  const std::string library = UntrustedFileReason(path, "library file");
  return library.empty() ? "" : fmt::format("The library is not loaded: {}.", library);
}

}  // namespace

std::string RegisteredLibraryPath(const std::string& prog_id_or_clsid) {
  const std::string path = RegistrationPath(prog_id_or_clsid);
  return path.empty() ? VOLTRANE_INSTALLED_LIBRARY : path;
}

bool DlLibraryFactory::Load(LibraryCreation& creation) {
  const std::string registered = RegistrationPath(kKorvex7ProgId);
  const std::string path = registered.empty() ? VOLTRANE_INSTALLED_LIBRARY : registered;
  creation.refusal = LoadRefusal(path, !registered.empty());
  if (!creation.refusal.empty()) {
    creation.error_code = kErrorAccessDenied;
    return false;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    VOLTRANE_TRACE(fmt::format("dlopen {} failed: {}\n", path, dlerror()));
    creation.error_code = kErrorModuleNotFound;
    return false;
  }
  create_ = reinterpret_cast<CreateFunction>(dlsym(handle, "Korvex7CreateObject"));
  release_ = reinterpret_cast<ReleaseFunction>(dlsym(handle, "Korvex7ReleaseObject"));
  if (!create_ || !release_) {
    VOLTRANE_TRACE(fmt::format("{} lacks the factory functions\n", path));
    dlclose(handle);
    creation.error_code = kErrorProcNotFound;
    return false;
  }
  handle_ = handle;
  return true;
}

LibraryCreation DlLibraryFactory::Create() {
  LibraryCreation creation;
  if (!handle_ && !Load(creation)) return creation;
  int32_t status = create_(kKorvex7ProgId, kKorvex7Obj5InterfaceId, &creation.object);
  if (status == 0 && creation.object) {
    // The factory hands out a _CKorvex7Obj5 for this id (korvex7.h).
    creation.object5 = static_cast<_CKorvex7Obj5*>(creation.object);
    creation.object4 = creation.object5;
    creation.object2 = creation.object5;
    return creation;
  }
  // A library from before group mode answers "no such interface".
  if (status == kNoInterface) {
    status = create_(kKorvex7ProgId, kKorvex7Obj4InterfaceId, &creation.object);
  }
  if (status == 0 && creation.object) {
    // The factory hands out a _CKorvex7Obj4 for this id (korvex7.h).
    creation.object4 = static_cast<_CKorvex7Obj4*>(creation.object);
    creation.object2 = creation.object4;
    return creation;
  }
  // A library from before _CKorvex7Obj4 answers "no such interface".
  if (status == kNoInterface) {
    status = create_(kKorvex7ProgId, kKorvex7Obj2InterfaceId, &creation.object);
  }
  if (status == 0 && creation.object) {
    // The factory hands out a _CKorvex7Obj2 for this id (korvex7.h).
    creation.object2 = static_cast<_CKorvex7Obj2*>(creation.object);
    return creation;
  }
  // A library from before _CKorvex7Obj2 answers "no such interface".
  if (status == kNoInterface) {
    status = create_(kKorvex7ProgId, kKorvex7InterfaceIdV0, &creation.object);
  }
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
