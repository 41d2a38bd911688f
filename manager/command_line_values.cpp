// Reading the keyword values of the manager's command line.
#include "manager/command_line_values.h"

#include <algorithm>
#include <cctype>

#include "base/ascii_case.h"

namespace voltrane::manager {
namespace {

std::string ValueAfter(const std::string& line, const std::string& upper, const char* keyword) {
  const std::string marker = std::string("-") + keyword + " ";
  const size_t at = upper.find(marker);
  if (at == std::string::npos) return "";
  const size_t start = at + marker.size();
  if (start < line.size() && line[start] == '"') {
    const size_t close = line.find('"', start + 1);
    const size_t end = close == std::string::npos ? line.size() : close;
    return line.substr(start + 1, end - start - 1);
  }
  const size_t blank = line.find(' ', start);
  return line.substr(start, (blank == std::string::npos ? line.size() : blank) - start);
}

}  // namespace

CommandLineValues ReadCommandLineValues(const std::string& command_line) {
  const std::string upper = base::Upper(command_line);
  CommandLineValues values;
  values.db_type = ValueAfter(command_line, upper, "DBTYPE");
  values.database = ValueAfter(command_line, upper, "DATABASE");
  values.database_user = ValueAfter(command_line, upper, "DATABASEUSER");
  values.database_password = ValueAfter(command_line, upper, "DATABASEPASSWORD");
  values.database_server = ValueAfter(command_line, upper, "DATABASESERVER");
  return values;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    line += argument.find(' ') == std::string::npos ? argument : '"' + argument + '"';
  }
  return line;
}

}  // namespace voltrane::manager
