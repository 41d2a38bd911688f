// modCrypto: the credential cipher and the connection-string tokenizer.
//
// Stored connection strings carry their credentials enciphered under the keys
// "eUID"/"eUser ID" (user-name key) and "ePWD"/"ePassword" (password key): each
// character XOR the passphrase character at the same position (modulo its
// length), written as two upper-case hex digits. Pure functions; thread-safe.
#ifndef VOLTRANE_CIPHER_MOD_CRYPTO_H_
#define VOLTRANE_CIPHER_MOD_CRYPTO_H_

#include <cstdint>
#include <string>

namespace voltrane {

inline constexpr const char* kUserNameKey = "TomRanFastTomRanHomeNow";
inline constexpr const char* kPasswordKey = "BobSawABigGreenFrogThatSatOnALogAllDayNow";

inline constexpr int kEncipher = 0;
inline constexpr int kDecipher = 1;
inline constexpr int kUserNameKeyRole = 1;
inline constexpr int kPasswordKeyRole = 0;

std::string CryptCredential(int direction, int key_role, const std::string& text);
std::string EncipherText(const std::string& passphrase, const std::string& plain);
std::string DecipherText(const std::string& passphrase, const std::string& hex);
int16_t HexPairValue(const std::string& digits);

// Reads the item starting at 1-based `start`; returns the next start, or 0 / -1
// when no further pair follows (see the tokenizer rules in the .cpp).
int NextConnectionStringPair(int start, const std::string& connection_string, std::string& key,
                             std::string& value);

std::string DecipherConnectionString(const std::string& stored);

// Fields of the stored connection strings, as the manager reads them back.
struct OracleConnectionFields {
  std::string host;
  std::string user;
  std::string password;
};
struct SqlServerConnectionFields {
  std::string provider;
  std::string server;
  std::string database;
  std::string user;
  std::string password;
};
OracleConnectionFields ReadOracleConnectionString(const std::string& stored);
std::string ReadAccessDatabasePath(const std::string& stored);
SqlServerConnectionFields ReadSqlServerConnectionString(const std::string& stored);

}  // namespace voltrane

#endif  // VOLTRANE_CIPHER_MOD_CRYPTO_H_
