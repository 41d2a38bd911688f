#include "tools/library_object.h"

#include <fmt/format.h>

#include "dbaccess/database_connection.h"
#include "dbaccess/provider_table.h"
#include "library/com_error.h"
// The factory of korvex7.h creates the object on the system clock; the tool
// needs its own clock, so it constructs the implementation it links.
#include "library/korvex7_obj.h"

namespace {

// Ends the clock's connect on every way out of ConnectToDatabase.
class ConnectScope {
 public:
  ConnectScope(ConnectWaitClock& clock, const DatabaseChoice& choice) : clock_(clock) {
    clock_.BeginConnect(
        DescribeDatabase(choice),
        choice.wait_as_service ? std::nullopt : std::optional<int64_t>(kInteractiveConnectWaitMs));
  }
  ~ConnectScope() { clock_.EndConnect(); }
  ConnectScope(const ConnectScope&) = delete;
  ConnectScope& operator=(const ConnectScope&) = delete;

 private:
  ConnectWaitClock& clock_;
};

}  // namespace

bool LibraryObject::Connect(const DatabaseChoice& choice, std::string& error) {
  ConnectScope scope(*clock_, choice);
  return object_->ConnectToDatabase(choice.connection_string, choice.database_type, error);
}

bool LibraryObject::EnsureConnected(const DatabaseChoice& choice, std::string& error) {
  return object_->IsConnected() || Connect(choice, error);
}

LibraryObject CreateLibraryObject(std::ostream& err) {
  try {
    auto clock = std::make_shared<ConnectWaitClock>(err);
    return LibraryObject(std::make_unique<CKorvex7Obj>(clock), clock);
  } catch (const std::exception& failure) {
    err << fmt::format("Cannot create the library object {}: {}\n", kKorvex7ProgId, failure.what());
    return LibraryObject();
  }
}

LibraryObject CreateConnectedObject(const DatabaseChoice& choice, std::ostream& err) {
  LibraryObject object = CreateLibraryObject(err);
  if (!object) return object;
  try {
    std::string error;
    if (object.Connect(choice, error)) return object;
    err << fmt::format("Could not connect to the database: {}\n", error);
  } catch (const ComError& error) {
    err << fmt::format("Could not connect to the database: Error # {}:{}\n", error.number(),
                       error.description());
  }
  return LibraryObject();
}

std::string DescribeDatabase(const DatabaseChoice& choice) {
  std::string kind = voltrane::DbTypeString(choice.database_type);
  if (kind.empty()) kind = fmt::format("kind {}", choice.database_type);
  const std::string source = dbaccess::FindConnectionValue(
      dbaccess::ParseConnectionString(choice.connection_string), "Data Source");
  if (source.empty()) return fmt::format("the {} database", kind);
  return fmt::format("the {} database {}", kind, source);
}
