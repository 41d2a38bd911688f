// Upper-casing of stored numbers through the C library's wide-character
// tables of the built-in "C.UTF-8" locale, whatever the process locale is.
#include "library/reference/upper_case.h"

#include <locale.h>
#include <wctype.h>

#include <cctype>
#include <climits>
#include <cwchar>
#include <string>

namespace korvex7::internal {

namespace {

// Created once and never freed: a locale object is immutable and shared.
locale_t Utf8Locale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  return locale;
}

std::string AsciiUpper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string UpperCaseText(const std::string& text) {
  const locale_t utf8 = Utf8Locale();
  if (utf8 == nullptr) return AsciiUpper(text);

  // mbrtowc and wcrtomb follow the thread's locale; switch it for this call only.
  const locale_t previous = uselocale(utf8);
  std::string result;
  result.reserve(text.size());
  std::mbstate_t in_state{};
  const char* next = text.data();
  size_t left = text.size();
  while (left > 0) {
    wchar_t wide = 0;
    size_t used = std::mbrtowc(&wide, next, left, &in_state);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
      result.push_back(*next);  // not UTF-8: keep the byte as it is
      in_state = std::mbstate_t{};
      ++next;
      --left;
      continue;
    }
    if (used == 0) used = 1;  // an embedded NUL character
    char encoded[MB_LEN_MAX];
    std::mbstate_t out_state{};
    const size_t written =
        std::wcrtomb(encoded, static_cast<wchar_t>(towupper_l(wide, utf8)), &out_state);
    if (written == static_cast<size_t>(-1)) {
      result.append(next, used);
    } else {
      result.append(encoded, written);
    }
    next += used;
    left -= used;
  }
  uselocale(previous);
  return result;
}

}  // namespace korvex7::internal
