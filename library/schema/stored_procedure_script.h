// The stored procedure script: T-SQL that drops and creates the procedures
// SetEventStopTime, AddEventRecord and DoAllCustomStartsInLog on SQL Server.
// It is carried inside the library as text resource 101 (single-byte text,
// CR LF line ends), compiled in from resources/stored_procedures.sql at build
// time, and split into batches at the lines holding only "GO".
//
// Pure functions over constant data: no failure, safe from any thread.
#ifndef VOLTRANE_LIBRARY_STORED_PROCEDURE_SCRIPT_H_
#define VOLTRANE_LIBRARY_STORED_PROCEDURE_SCRIPT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvex7::internal {

inline constexpr int32_t kStoredProcedureScriptId = 101;

// The bytes of a text resource of the library, or nullopt for an unknown id.
std::optional<std::string_view> LoadTextResource(int32_t id);

// The script's batches in order; each keeps its line ends. A line holding
// only "GO" separates batches; pieces holding only blanks are dropped.
std::vector<std::string> SplitScriptBatches(std::string_view script);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_STORED_PROCEDURE_SCRIPT_H_
