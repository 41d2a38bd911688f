#include "tools/library_object.h"

#include <fmt/format.h>

#include <string>

#include "library/com_error.h"

LibraryObject CreateConnectedObject(const DatabaseChoice& choice, std::ostream& err) {
  _CKorvex7Obj* raw = nullptr;
  const int32_t created = Korvex7CreateObject(kKorvex7ProgId, kKorvex7InterfaceId, &raw);
  if (created != 0) {
    err << fmt::format("Cannot create the library object {}: error 0x{:X}\n", kKorvex7ProgId,
                       static_cast<uint32_t>(created));
    return LibraryObject(nullptr, Korvex7ReleaseObject);
  }
  LibraryObject object(raw, Korvex7ReleaseObject);
  try {
    std::string error;
    if (object->ConnectToDatabase(choice.connection_string, choice.database_type, error)) {
      return object;
    }
    err << fmt::format("Could not connect to the database: {}\n", error);
  } catch (const ComError& error) {
    err << fmt::format("Could not connect to the database: Error # {}:{}\n", error.number(),
                       error.description());
  }
  return LibraryObject(nullptr, Korvex7ReleaseObject);
}
