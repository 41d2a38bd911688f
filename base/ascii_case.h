// Case folding of ASCII letters, for names the system compares without
// regard to case: column and table names, provider and driver names, keys of
// the settings store, command-line keywords. Other bytes stay as they are
// (the shop floor's own numbers go through the library's UTF-8 upper-casing
// instead). Pure functions; thread-safe.
#ifndef VOLTRANE_BASE_ASCII_CASE_H_
#define VOLTRANE_BASE_ASCII_CASE_H_

#include <string>
#include <string_view>

namespace base {

inline char LowerChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char UpperChar(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerChar(c);
  return out;
}

inline std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperChar(c);
  return out;
}

inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  }
  return true;
}

}  // namespace base

#endif  // VOLTRANE_BASE_ASCII_CASE_H_
