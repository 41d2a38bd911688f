// The library's string table (ids 101 and 103 to 125) and LoadResMessage,
// which reads a text and fills its "%1" to "%7" placeholders.
//
// LoadResMessage never fails: an unknown id, or any other failure, gives
// "###STRING RESOURCE ERROR###". Only the first occurrence of each
// placeholder is replaced, and only by a non-empty insert. Thread-safe.
#ifndef VOLTRANE_LIBRARY_STRING_TABLE_H_
#define VOLTRANE_LIBRARY_STRING_TABLE_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace korvex7::internal {

inline constexpr const char* kStringResourceError = "###STRING RESOURCE ERROR###";

// The text stored under `id`, or nullopt when the table has no such id.
std::optional<std::string> StringTableText(int32_t id);

// Replaces the first "%k" by inserts[k-1] for k = 1..7, skipping empty inserts.
std::string FillPlaceholders(std::string text, const std::array<std::string, 7>& inserts);

std::string LoadResMessage(int32_t id, const std::string& insert1 = "",
                           const std::string& insert2 = "", const std::string& insert3 = "",
                           const std::string& insert4 = "", const std::string& insert5 = "",
                           const std::string& insert6 = "", const std::string& insert7 = "");

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_STRING_TABLE_H_
