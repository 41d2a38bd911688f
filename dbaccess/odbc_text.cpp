// UTF-8 <-> UTF-16 for the ODBC wide entry points (see odbc_text.h).
#include "dbaccess/odbc_text.h"

namespace dbaccess {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at `pos`, advancing it; malformed input yields U+FFFD.
char32_t DecodeUtf8(const std::string& text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t code = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    code = lead & 0x07;
  } else {
    return kReplacement;
  }
  for (int i = 0; i < extra; ++i) {
    if (pos >= text.size()) return kReplacement;
    const auto next = static_cast<unsigned char>(text[pos]);
    if ((next & 0xC0) != 0x80) return kReplacement;
    code = (code << 6) | (next & 0x3F);
    ++pos;
  }
  static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
  if (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return kReplacement;
  }
  return code;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

WideText ToWide(const std::string& utf8) {
  WideText wide;
  wide.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t code = DecodeUtf8(utf8, pos);
    if (code >= 0x10000) {
      wide += static_cast<SQLWCHAR>(0xD800 + ((code - 0x10000) >> 10));
      wide += static_cast<SQLWCHAR>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      wide += static_cast<SQLWCHAR>(code);
    }
  }
  return wide;
}

std::string FromWide(const SQLWCHAR* text, size_t length) {
  std::string utf8;
  utf8.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kReplacement;
    }
    AppendUtf8(utf8, code);
  }
  return utf8;
}

std::string FromWideBuffer(const SQLWCHAR* buffer, size_t capacity) {
  size_t length = 0;
  while (length < capacity && buffer[length] != 0) ++length;
  return FromWide(buffer, length);
}

}  // namespace dbaccess
