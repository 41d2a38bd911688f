// Running SQL script files (the schema and the demo plant) statement by
// statement through a Connection.
//
// The script files follow one rule so that no SQL parser is needed: every
// statement ends with a semicolon at the end of its last line and holds no
// other semicolon; lines starting with "--" are comments. On Oracle a
// statement may instead end at a line holding only "/" (trigger bodies).
#ifndef VOLTRANE_DBACCESS_SQL_SCRIPT_H_
#define VOLTRANE_DBACCESS_SQL_SCRIPT_H_

#include <string>
#include <vector>

#include "dbaccess/connection.h"

namespace dbaccess {

// The statements of a script, without their final ";" (or "/" line).
std::vector<std::string> SplitSqlScript(const std::string& script);

// Runs every statement in order; stops at the first failure and throws its
// DbError with the failing statement's first line appended to the text.
// Returns the number of statements run.
size_t RunSqlScript(Connection& connection, const std::string& script);

// Reads a whole file; throws DbError (kErrInvalidArgument) when it cannot.
std::string ReadTextFile(const std::string& path);

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_SQL_SCRIPT_H_
