// Bearer tokens of the board's HTTP interface, kept in the machine settings
// store under `Software\Voltrane\Board\Tokens`: one value per token, its name
// the token's name and its text "sha256:" and the hex SHA-256 of the token.
// The token itself is shown once, when it is made, and stored nowhere.
//
// The machine hive is written mode 0600 by the settings store. VerifyToken
// looks at the store's file at every call and reads it again whenever it was
// replaced, so a token removed while a client uses it is refused from the
// next request on. Thread-safe.
#ifndef VOLTRANE_WEB_TOKEN_STORE_H_
#define VOLTRANE_WEB_TOKEN_STORE_H_

#include <optional>
#include <string>
#include <vector>

namespace web {

inline constexpr const char* kBoardKey = "Software\\Voltrane\\Board";
inline constexpr const char* kTokensKey = "Software\\Voltrane\\Board\\Tokens";

// Names are 1 to 64 characters of letters, digits, '.', '_' and '-'.
bool IsValidTokenName(const std::string& name);

// Hex SHA-256 of the text.
std::string Sha256Hex(const std::string& text);

struct TokenResult {
  bool ok = false;
  std::string text;  // the new token after AddToken; otherwise the reason it failed
};

// Makes a token of 32 random bytes (64 hex digits) and stores its hash.
// Refuses an invalid name, a name already taken and a store it cannot write.
TokenResult AddToken(const std::string& name);
// Refuses a name that has no token.
TokenResult RemoveToken(const std::string& name);
std::vector<std::string> TokenNames();

// The name of the stored token that `token` is, or nothing.
std::optional<std::string> VerifyToken(const std::string& token);

}  // namespace web

#endif  // VOLTRANE_WEB_TOKEN_STORE_H_
