// modCrypto: the credential cipher, the connection-string tokenizer and the
// readers of the stored connection strings.
//
// Text is handled as single bytes: a UTF-8 credential is enciphered byte by
// byte against the passphrase bytes. Malformed hex text raises no error; it
// deciphers to meaningless text and the database refuses the login later.
// Pure functions; thread-safe.
#include "cipher/mod_crypto.h"

#include <fmt/format.h>

namespace voltrane {
namespace {

unsigned char ByteAt(const std::string& text, size_t index) {
  return static_cast<unsigned char>(text[index]);
}

// The passphrase chosen by the key role: 1 the user-name key, 0 the password key.
std::string PassphraseOf(int key_role) {
  return key_role == kUserNameKeyRole ? kUserNameKey : kPasswordKey;
}

// Index of the last digit pair read: len/2 - 1 rounded half to even, as the stored strings
// were always deciphered. For an even length that is one pair per two digits; for an odd
// length the last lone digit is read as a pair of its own or dropped.
long LastPairIndex(size_t hex_length) {
  const long half = static_cast<long>(hex_length / 2);
  if (hex_length % 2 == 0) return half - 1;
  // half - 0.5 lies between half - 1 and half: take the even one.
  return (half % 2 == 0) ? half : half - 1;
}

// Walks the pairs of a connection string the way every caller does: start at 1, handle the
// key and value after each call, go on while the result is above 0.
template <typename Handler>
void ForEachPair(const std::string& connection_string, Handler handle) {
  std::string key;
  std::string value;
  int position = 1;
  do {
    position = NextConnectionStringPair(position, connection_string, key, value);
    handle(key, value);
  } while (position > 0);
}

}  // namespace

std::string EncipherText(const std::string& passphrase, const std::string& plain) {
  if (passphrase.empty()) return "";
  std::string hex;
  hex.reserve(plain.size() * 2);
  for (size_t i = 0; i < plain.size(); ++i) {
    const unsigned code = ByteAt(plain, i) ^ ByteAt(passphrase, i % passphrase.size());
    hex += fmt::format("{:02X}", code);
  }
  return hex;
}

std::string DecipherText(const std::string& passphrase, const std::string& hex) {
  if (passphrase.empty()) return "";
  std::string plain;
  const long last = LastPairIndex(hex.size());
  for (long i = 0; i <= last; ++i) {
    const size_t at = static_cast<size_t>(2 * i);
    const int value = HexPairValue(hex.substr(at, 2));
    const int code = value ^ ByteAt(passphrase, static_cast<size_t>(i) % passphrase.size());
    plain += static_cast<char>(code & 0xFF);
  }
  return plain;
}

int16_t HexPairValue(const std::string& digits) {
  uint16_t value = 0;  // wraps instead of overflowing on long or odd input
  for (const unsigned char n : digits) {
    int digit;
    if (n > 96) {
      digit = n - 87;
    } else if (n <= 64) {
      digit = n - 48;
    } else {
      digit = n - 55;
    }
    value = static_cast<uint16_t>(value * 16 + digit);
  }
  return static_cast<int16_t>(value);
}

std::string CryptCredential(int direction, int key_role, const std::string& text) {
  const std::string passphrase = PassphraseOf(key_role);
  return direction == kEncipher ? EncipherText(passphrase, text) : DecipherText(passphrase, text);
}

// Items are separated by ";"; the key is the text before the item's first "=", the value all
// after it; there is no quoting. Returns -1 after an item without "=" (the walk ends there
// even if items follow) and after the last item; 0, leaving key and value as they were, when
// `start` is past the end; otherwise the 1-based start of the next item.
int NextConnectionStringPair(int start, const std::string& connection_string, std::string& key,
                             std::string& value) {
  const long length = static_cast<long>(connection_string.size());
  const long from = start < 1 ? 1 : start;
  // A start past the last character means no item is left. (A start on the last character
  // still reads it: a one-character final item is a pair like any other.)
  if (from > length) return 0;
  const size_t semicolon = connection_string.find(';', static_cast<size_t>(from - 1));
  const size_t item_end = semicolon == std::string::npos ? connection_string.size() : semicolon;
  const std::string item =
      connection_string.substr(static_cast<size_t>(from - 1), item_end - (from - 1));

  const size_t equals = item.find('=');
  if (equals == std::string::npos) {
    key = item;
    value = "";
    return -1;
  }
  key = item.substr(0, equals);
  value = item.substr(equals + 1);
  if (semicolon == std::string::npos || static_cast<long>(semicolon) + 1 == length) return -1;
  return static_cast<int>(semicolon) + 2;  // 1-based position just after the ";"
}

std::string DecipherConnectionString(const std::string& stored) {
  std::string result;
  ForEachPair(stored, [&](const std::string& key, const std::string& value) {
    std::string plain_key = key;
    std::string plain_value = value;
    if (key == "eUID" || key == "eUser ID") {
      plain_key = key.substr(1);
      plain_value = CryptCredential(kDecipher, kUserNameKeyRole, value);
    } else if (key == "ePWD" || key == "ePassword") {
      plain_key = key.substr(1);
      plain_value = CryptCredential(kDecipher, kPasswordKeyRole, value);
    }
    result += plain_key;
    if (!plain_value.empty()) result += "=" + plain_value;
    result += ";";
  });
  return result;
}

OracleConnectionFields ReadOracleConnectionString(const std::string& stored) {
  OracleConnectionFields fields;
  ForEachPair(stored, [&](const std::string& key, const std::string& value) {
    if (key == "SERVER") {
      fields.host = value;
    } else if (key == "UID") {
      fields.user = value;
    } else if (key == "PWD") {
      fields.password = value;
    } else if (key == "eUID") {
      fields.user = CryptCredential(kDecipher, kUserNameKeyRole, value);
    } else if (key == "ePWD") {
      fields.password = CryptCredential(kDecipher, kPasswordKeyRole, value);
    }
  });
  return fields;
}

std::string ReadAccessDatabasePath(const std::string& stored) {
  static constexpr size_t kDataSourceLength = 12;  // "Data Source="
  const size_t first = stored.find(';');
  if (first == std::string::npos) return "";
  const size_t second = stored.find(';', first + 1);
  const size_t end = second == std::string::npos ? stored.size() : second;
  const std::string item = stored.substr(first + 1, end - first - 1);
  return item.size() > kDataSourceLength ? item.substr(kDataSourceLength) : "";
}

SqlServerConnectionFields ReadSqlServerConnectionString(const std::string& stored) {
  SqlServerConnectionFields fields;
  ForEachPair(stored, [&](const std::string& key, const std::string& value) {
    if (key == "Provider") {
      fields.provider = value;
    } else if (key == "DataTypeCompatibility") {
      fields.provider += ";DataTypeCompatibility=" + value;
    } else if (key == "Data Source") {
      fields.server = value;
    } else if (key == "Initial Catalog") {
      fields.database = value;
    } else if (key == "User ID") {
      fields.user = value;
    } else if (key == "Password") {
      fields.password = value;
    } else if (key == "eUser ID") {
      fields.user = CryptCredential(kDecipher, kUserNameKeyRole, value);
    } else if (key == "ePassword") {
      fields.password = CryptCredential(kDecipher, kPasswordKeyRole, value);
    }
  });
  return fields;
}

}  // namespace voltrane
