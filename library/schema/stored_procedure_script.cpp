// Access to the library's text resources and the batch split of the stored
// procedure script; see stored_procedure_script.h.
#include "library/schema/stored_procedure_script.h"

#include <cstddef>

// Generated at build time from resources/stored_procedures.sql
// (embed_text_resource.cmake).
extern const unsigned char kStoredProcedureScriptBytes[];
extern const std::size_t kStoredProcedureScriptSize;

namespace korvex7::internal {

namespace {

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

std::optional<std::string_view> LoadTextResource(int32_t id) {
  if (id != kStoredProcedureScriptId) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(kStoredProcedureScriptBytes),
                          kStoredProcedureScriptSize);
}

std::vector<std::string> SplitScriptBatches(std::string_view script) {
  std::vector<std::string> batches;
  std::string current;
  size_t start = 0;
  while (start < script.size()) {
    size_t end = script.find('\n', start);
    end = end == std::string_view::npos ? script.size() : end + 1;
    const std::string_view line = script.substr(start, end - start);
    std::string_view bare = line;
    while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r')) bare.remove_suffix(1);
    if (bare == "GO") {
      if (!IsBlank(current)) batches.push_back(current);
      current.clear();
    } else {
      current += line;
    }
    start = end;
  }
  if (!IsBlank(current)) batches.push_back(current);
  return batches;
}

}  // namespace korvex7::internal
