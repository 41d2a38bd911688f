// DlLibraryFactory: creates the library object from libkorvex7.so, loaded at
// run time.
//
// The library is found through its class registration in the settings store's
// classes section: the ProgID key `Korvex7.CKorvex7Obj\CLSID` (default value)
// names the class identifier (a name beginning with "{" is one already), and
// `CLSID\<class id>\InprocServer32` (default value) the library file. Without
// a registration the built-in class identifier and the installed library path
// are used.
//
// What the registration names is loaded with every right of the collector, so
// it is only honoured from a settings store that root alone (or the account
// the collector runs as) can change, and a library file that others can write
// is never loaded (library_trust.h); both are refused with kErrorAccessDenied
// and a sentence saying why. The library stays loaded for the life of the process (objects
// handed out must outlive any unload). Failure codes: 126 the library cannot
// be loaded, 127 it lacks the factory functions, 5 refused as unsafe, else the
// factory's status.
// Used from the worker thread only.
#ifndef VOLTRANE_SERVICE_DL_LIBRARY_FACTORY_H_
#define VOLTRANE_SERVICE_DL_LIBRARY_FACTORY_H_

#include <string>

#include "service/library_factory.h"

namespace voltrane {

inline constexpr int32_t kErrorAccessDenied = 5;
inline constexpr int32_t kErrorModuleNotFound = 126;
inline constexpr int32_t kErrorProcNotFound = 127;

// The library file named by the class registration, or the installed path.
std::string RegisteredLibraryPath(const std::string& prog_id_or_clsid);

class DlLibraryFactory : public LibraryFactory {
 public:
  LibraryCreation Create() override;
  void Release(_CKorvex7Obj* object) override;

 private:
  using CreateFunction = int32_t (*)(const char*, const char*, _CKorvex7Obj**);
  using ReleaseFunction = void (*)(_CKorvex7Obj*);

  // Loads the library once; false with `creation` filled in on failure.
  bool Load(LibraryCreation& creation);

  void* handle_ = nullptr;
  CreateFunction create_ = nullptr;
  ReleaseFunction release_ = nullptr;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_DL_LIBRARY_FACTORY_H_
