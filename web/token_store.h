// Bearer tokens of the board's HTTP interface, kept in the machine settings
// store under `Software\Voltrane\Board\Tokens`: one value per token, its name
// the token's name and its text "sha256:" and the hex SHA-256 of the token.
// The token itself is shown once, when it is made, and stored nowhere. A
// limited token's text goes on with its limits: ";machines=101,102" (it may
// post only for those machines) and ";read-only" (it may not post); a text
// without them, as every older store holds, is a token without limits.
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

// What a token may do. No machines: every machine.
struct TokenScope {
  std::vector<std::string> machines;  // MACHINE_NUMBERs it may post for
  bool read_only = false;

  bool MayPostFor(const std::string& machine_number) const;
  // ";machines=...;read-only" as stored after the hash, "" without limits.
  std::string StoredText() const;
};

// "101,102" as machine numbers; false for an empty number or one with ';'.
bool ParseMachineList(const std::string& text, std::vector<std::string>& machines);

struct TokenGrant {
  std::string name;
  TokenScope scope;
};

struct TokenResult {
  bool ok = false;
  std::string text;  // the new token after AddToken; otherwise the reason it failed
};

// Makes a token of 32 random bytes (64 hex digits) and stores its hash.
// Refuses an invalid name, a name already taken and a store it cannot write.
TokenResult AddToken(const std::string& name, const TokenScope& scope = {});
// Refuses a name that has no token.
TokenResult RemoveToken(const std::string& name);
std::vector<std::string> TokenNames();

// The stored token that `token` is, with its limits, or nothing.
std::optional<TokenGrant> FindToken(const std::string& token);
// The name of the stored token that `token` is, or nothing.
std::optional<std::string> VerifyToken(const std::string& token);
// The limits of the named token, none when there is no such token.
std::optional<TokenScope> TokenScopeOf(const std::string& name);

}  // namespace web

#endif  // VOLTRANE_WEB_TOKEN_STORE_H_
