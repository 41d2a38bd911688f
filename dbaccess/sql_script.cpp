#include "dbaccess/sql_script.h"

#include <fstream>
#include <sstream>

#include "dbaccess/db_error.h"

namespace dbaccess {
namespace {

std::string TrimRight(const std::string& text) {
  const auto last = text.find_last_not_of(" \t\r\n");
  return last == std::string::npos ? "" : text.substr(0, last + 1);
}

bool IsComment(const std::string& line) {
  const auto first = line.find_first_not_of(" \t");
  return first != std::string::npos && line.compare(first, 2, "--") == 0;
}

}  // namespace

std::vector<std::string> SplitSqlScript(const std::string& script) {
  std::vector<std::string> statements;
  std::istringstream input(script);
  std::string line;
  std::string current;
  auto finish = [&](std::string text) {
    if (!TrimRight(text).empty()) statements.push_back(TrimRight(text));
    current.clear();
  };
  while (std::getline(input, line)) {
    const std::string trimmed = TrimRight(line);
    if (IsComment(trimmed) || (trimmed.empty() && current.empty())) continue;
    if (trimmed == "/") {
      finish(current);
      continue;
    }
    if (!trimmed.empty() && trimmed.back() == ';') {
      finish(current + trimmed.substr(0, trimmed.size() - 1));
      continue;
    }
    current += trimmed + "\n";
  }
  finish(current);
  return statements;
}

size_t RunSqlScript(Connection& connection, const std::string& script) {
  const std::vector<std::string> statements = SplitSqlScript(script);
  for (const std::string& statement : statements) {
    try {
      connection.Execute(statement);
    } catch (const DbError& error) {
      const std::string first_line = statement.substr(0, statement.find('\n'));
      throw DbError(error.number(), error.description() + " [in: " + first_line + "]",
                    error.native());
    }
  }
  return statements.size();
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw DbError(kErrInvalidArgument, "Cannot read the file " + path + ".");
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace dbaccess
