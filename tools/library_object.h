// The library object as the tool's processing commands use it: created
// through the library's factory, as the collector service creates it, and
// connected to the chosen database. Failures are written to `err` for the
// user and give a null object.
#ifndef VOLTRANE_TOOLS_LIBRARY_OBJECT_H_
#define VOLTRANE_TOOLS_LIBRARY_OBJECT_H_

#include <memory>
#include <ostream>

#include "library/korvex7.h"
#include "tools/tool_options.h"

using LibraryObject = std::unique_ptr<_CKorvex7Obj, void (*)(_CKorvex7Obj*)>;

LibraryObject CreateConnectedObject(const DatabaseChoice& choice, std::ostream& err);

#endif  // VOLTRANE_TOOLS_LIBRARY_OBJECT_H_
