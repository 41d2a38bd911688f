// LibraryFactory: how the worker obtains and gives back the library object.
// The service's factory loads libkorvex7.so at run time; tests hand in a fake
// library. Create and Release are called on the worker thread only.
#ifndef VOLTRANE_SERVICE_LIBRARY_FACTORY_H_
#define VOLTRANE_SERVICE_LIBRARY_FACTORY_H_

#include <cstdint>
#include <string>

#include "library/korvex7.h"

namespace voltrane {

struct LibraryCreation {
  _CKorvex7Obj* object = nullptr;  // owned by the caller until Release; null on failure
  // The same object when the library offers _CKorvex7Obj2 (it names failing
  // rows and commits on request); null for an older library.
  _CKorvex7Obj2* object2 = nullptr;
  // The same object when the library reports what it processed (_CKorvex7Obj4); else null.
  _CKorvex7Obj4* object4 = nullptr;
  // The same object when the library can take part in a collector group (_CKorvex7Obj5).
  _CKorvex7Obj5* object5 = nullptr;
  int32_t error_code = 0;          // the failure's system or factory code, for the report
  // Why the library was not loaded when its registration was refused as unsafe; else "".
  std::string refusal;
};

class LibraryFactory {
 public:
  virtual ~LibraryFactory() = default;
  // Creates a library object by ProgID "Korvex7.CKorvex7Obj" for the interface
  // _CKorvex7Obj5, or _CKorvex7Obj4, or _CKorvex7Obj2, or, when the library offers none of
  // them, for the interface {C94F4CD5-FBDF-439A-A79A-73836F5DA334}.
  virtual LibraryCreation Create() = 0;
  virtual void Release(_CKorvex7Obj* object) = 0;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_LIBRARY_FACTORY_H_
