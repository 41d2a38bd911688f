// Text at the ODBC boundary: the wide (UTF-16, SQLWCHAR) form that the
// Unicode entry points of unixODBC take, converted to and from the UTF-8 that
// the rest of the system uses.
//
// Invalid UTF-8 input becomes U+FFFD; unpaired surrogates read back from a
// driver do too. Pure functions; thread-safe.
#ifndef VOLTRANE_DBACCESS_ODBC_TEXT_H_
#define VOLTRANE_DBACCESS_ODBC_TEXT_H_

#include <sql.h>
#include <sqlext.h>

#include <string>

namespace dbaccess {

using WideText = std::basic_string<SQLWCHAR>;

WideText ToWide(const std::string& utf8);
std::string FromWide(const SQLWCHAR* text, size_t length);
inline std::string FromWide(const WideText& text) { return FromWide(text.data(), text.size()); }

// Reads a NUL-terminated wide buffer of at most `capacity` characters.
std::string FromWideBuffer(const SQLWCHAR* buffer, size_t capacity);

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_ODBC_TEXT_H_
