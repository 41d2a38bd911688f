// The manager's string table (language 1033) and the %1..%5 substitution.
#include "manager/string_resources.h"

#include <map>

namespace voltrane::manager {
namespace {

const std::map<int, std::string>& Table() {
  static const std::map<int, std::string> table{
      {101, "&Help"},
      {102, "&Cancel"},
      {103, "< &Back"},
      {104, "&Next >"},
      {105, "Version:"},
      {106, "Oracle"},
      {107, "Microsoft Access"},
      {108, "Microsoft SQL Server"},
      {109, "User Name:"},
      {110, "Password:"},
      {111, "Host String:"},
      {112, "Database:"},
      {113, "Server:"},
      {114, "Voltrane Collector Service Manager - Select a Database Type"},
      {115, "Voltrane Collector Service Manager - Enter Oracle Connection Information"},
      {116, "Voltrane Collector Service Manager - Enter Microsoft Access Connection Information"},
      {117, "Voltrane Collector Service Manager - Enter SQL Server Connection Information"},
      {119, "Select an Access Database"},
      {120, "Microsoft Access Databases (*.mdb)|*.mdb"},
      {121, "The supplied connection information is not valid."},
      {122,
       "%1 was unable to write to the system registry, so configuration of the MDC Service "
       "failed. Check your permissions and try again."},
      {123, "Voltrane Collector Service Manager - Select Options"},
      {124, "Timeout"},
      {126, "Database connection was successful."},
      {127, "seconds"},
      {128, "Please enter a positive integer between %1 and %2 for the timeout value."},
      {129, "The file %1 does not exist."},
      {130,
       "The Microsoft Access Database %1 is on a mapped network drive, which is not valid for "
       "the Voltrane Collector Service.  To resolve the issue, use the UNC name for the database "
       "path."},
      {131, "&Finish"},
      {132, "SQLite"},
      {133, "PostgreSQL"},
      {134, "Voltrane Collector Service Manager - Enter SQLite Connection Information"},
      {135, "Voltrane Collector Service Manager - Enter PostgreSQL Connection Information"},
      {136, "Select an SQLite Database"},
      {137, "SQLite Databases (*.db *.sqlite)|*.db *.sqlite"},
      {138, "Database File:"},
      {8478, "Not Found"},
      {8508, "Missing"},
  };
  return table;
}

}  // namespace

std::string LoadResText(int id, const std::vector<std::string>& args) {
  if (id == res::kFailedLogon) return "Failed Logon";
  const auto found = Table().find(id);
  if (found == Table().end()) return "###STRING RESOURCE ERROR###";
  std::string text = found->second;
  for (size_t i = 0; i < args.size() && i < 5; ++i) {
    if (args[i].empty()) continue;
    const std::string marker = "%" + std::to_string(i + 1);
    const size_t at = text.find(marker);
    if (at != std::string::npos) text.replace(at, marker.size(), args[i]);
  }
  return text;
}

}  // namespace voltrane::manager
