#include "cipher/mod_crypto.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace voltrane {
namespace {

// "sa" under the user-name key: 's' 0x73 ^ 'T' 0x54 = 0x27, 'a' 0x61 ^ 'o' 0x6F = 0x0E.
// "pw" under the password key: 'p' 0x70 ^ 'B' 0x42 = 0x32, 'w' 0x77 ^ 'o' 0x6F = 0x18.
constexpr const char* kSaEnciphered = "270E";
constexpr const char* kPwEnciphered = "3218";

bool IsUpperHex(const std::string& text) {
  return text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

TEST(CipherTest, KnownValuesComputedByHand) {
  EXPECT_EQ(CryptCredential(kEncipher, kUserNameKeyRole, "sa"), kSaEnciphered);
  EXPECT_EQ(CryptCredential(kEncipher, kPasswordKeyRole, "pw"), kPwEnciphered);
  EXPECT_EQ(CryptCredential(kDecipher, kUserNameKeyRole, kSaEnciphered), "sa");
  EXPECT_EQ(CryptCredential(kDecipher, kPasswordKeyRole, kPwEnciphered), "pw");
  // Identical characters give a zero byte, which must still be two digits.
  EXPECT_EQ(EncipherText("ab", "ab"), "0000");
}

TEST(CipherTest, RoundTripsEveryByteWithTwoUpperHexDigitsEach) {
  std::string all_bytes;
  for (int c = 1; c < 256; ++c) all_bytes += static_cast<char>(c);
  const std::vector<std::string> texts = {"",          "x",       "Administrator",
                                          "p@ss=w;rd", all_bytes, "Grüße"};
  for (const auto* key : {kUserNameKey, kPasswordKey}) {
    for (const auto& text : texts) {
      const std::string hex = EncipherText(key, text);
      EXPECT_EQ(hex.size(), 2 * text.size()) << text;
      EXPECT_TRUE(IsUpperHex(hex)) << hex;
      EXPECT_EQ(DecipherText(key, hex), text);
    }
  }
}

TEST(CipherTest, EmptyPassphraseGivesEmptyText) {
  EXPECT_EQ(EncipherText("", "secret"), "");
  EXPECT_EQ(DecipherText("", "270E"), "");
}

TEST(CipherTest, LongTextReusesThePassphraseFromItsStart) {
  EXPECT_EQ(EncipherText("ab", "aaaa"), "00030003");
  const std::string long_text(60, 'Q');  // longer than both passphrases
  const std::string hex = EncipherText(kUserNameKey, long_text);
  // Position 23 uses the passphrase's first character again.
  EXPECT_EQ(hex.substr(46, 2), hex.substr(0, 2));
  EXPECT_EQ(DecipherText(kUserNameKey, hex), long_text);
}

TEST(CipherTest, OddLengthHexReadsHalfPairsByRoundingToEven) {
  // 5 digits: 5/2 - 1 = 1.5 -> 2, so the lone "4" is a third pair: 4 ^ 'm' 0x6D = 'i'.
  EXPECT_EQ(DecipherText(kUserNameKey, "270E4"), "sai");
  // 3 digits: 0.5 -> 0, only the first pair.
  EXPECT_EQ(DecipherText(kUserNameKey, "270"), "s");
  // 1 digit: -0.5 -> 0, the digit alone: 2 ^ 'T' 0x54 = 'V'.
  EXPECT_EQ(DecipherText(kUserNameKey, "2"), "V");
  EXPECT_EQ(DecipherText(kUserNameKey, ""), "");
}

TEST(HexPairValueTest, DigitRulesAcceptAnyCharacter) {
  EXPECT_EQ(HexPairValue("00"), 0);
  EXPECT_EQ(HexPairValue("0A"), 10);
  EXPECT_EQ(HexPairValue("FF"), 255);
  EXPECT_EQ(HexPairValue("ff"), 255);
  EXPECT_EQ(HexPairValue("7"), 7);
  EXPECT_EQ(HexPairValue(""), 0);
  // Not rejected: 'G' counts 71 - 55 = 16, 'z' 122 - 87 = 35.
  EXPECT_EQ(HexPairValue("1G"), 32);
  EXPECT_EQ(HexPairValue("zz"), 35 * 16 + 35);
}

struct Pair {
  std::string key;
  std::string value;
  int result;
};

std::vector<Pair> Walk(const std::string& text) {
  std::vector<Pair> pairs;
  std::string key = "unset";
  std::string value = "unset";
  int position = 1;
  do {
    position = NextConnectionStringPair(position, text, key, value);
    pairs.push_back({key, value, position});
  } while (position > 0);
  return pairs;
}

TEST(NextConnectionStringPairTest, WalksAStoredSqlServerStringWithAProviderPair) {
  const std::string stored =
      "Provider=MSOLEDBSQL;DataTypeCompatibility=80;Data Source=srv\\inst;Initial Catalog=MDC;"
      "eUser ID=270E;ePassword=3218;";
  const auto pairs = Walk(stored);
  ASSERT_EQ(pairs.size(), 6u);
  const std::vector<std::string> keys = {"Provider",    "DataTypeCompatibility",
                                         "Data Source", "Initial Catalog",
                                         "eUser ID",    "ePassword"};
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(pairs[i].key, keys[i]);
  EXPECT_EQ(pairs[0].value, "MSOLEDBSQL");
  EXPECT_EQ(pairs[0].result, 21);  // just after the first ";"
  EXPECT_EQ(pairs[2].value, "srv\\inst");
  EXPECT_EQ(pairs[5].value, "3218");
  EXPECT_EQ(pairs[5].result, -1);  // its ";" is the last character
}

TEST(NextConnectionStringPairTest, ItemRules) {
  std::string key = "k";
  std::string value = "v";
  // A value keeps everything after the first "=".
  EXPECT_EQ(NextConnectionStringPair(1, "Password=a=b==;X=1", key, value), 16);
  EXPECT_EQ(key, "Password");
  EXPECT_EQ(value, "a=b==");
  // The last item without a ";".
  EXPECT_EQ(NextConnectionStringPair(16, "Password=a=b==;X=1", key, value), -1);
  EXPECT_EQ(key, "X");
  EXPECT_EQ(value, "1");
  // An item without "=" is a bare key and ends the walk even when items follow.
  EXPECT_EQ(NextConnectionStringPair(1, "Persist Security;A=1", key, value), -1);
  EXPECT_EQ(key, "Persist Security");
  EXPECT_EQ(value, "");
  // An empty string, or a start past the end: 0, key and value untouched.
  key = "k";
  value = "v";
  EXPECT_EQ(NextConnectionStringPair(1, "", key, value), 0);
  EXPECT_EQ(NextConnectionStringPair(5, "A=1;", key, value), 0);
  EXPECT_EQ(key, "k");
  EXPECT_EQ(value, "v");
}

TEST(NextConnectionStringPairTest, OneCharacterFinalItemIsNotLost) {
  const auto pairs = Walk("A=1;B");
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[1].key, "B");
  EXPECT_EQ(pairs[1].value, "");
  EXPECT_EQ(pairs[1].result, -1);
}

TEST(DecipherConnectionStringTest, RenamesAndDeciphersOnlyTheCredentials) {
  EXPECT_EQ(DecipherConnectionString(
                "Provider=MSOLEDBSQL;DataTypeCompatibility=80;Data Source=srv;Initial Catalog=MDC;"
                "eUser ID=270E;ePassword=3218;"),
            "Provider=MSOLEDBSQL;DataTypeCompatibility=80;Data Source=srv;Initial Catalog=MDC;"
            "User ID=sa;Password=pw;");
  EXPECT_EQ(DecipherConnectionString("eUID=270E;ePWD=3218;DRIVER={Microsoft ODBC for "
                                     "Oracle};SERVER=plant;"),
            "UID=sa;PWD=pw;DRIVER={Microsoft ODBC for Oracle};SERVER=plant;");
  // Keys are case-sensitive: "euid" is not a credential key.
  EXPECT_EQ(DecipherConnectionString("euid=270E;"), "euid=270E;");
}

TEST(DecipherConnectionStringTest, OutputForms) {
  EXPECT_EQ(DecipherConnectionString(""), ";");
  EXPECT_EQ(DecipherConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/mdc.mdb;"
                                     "Persist Security"),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/mdc.mdb;Persist Security;");
  // Without credentials nothing is added; an empty value loses its "=".
  EXPECT_EQ(DecipherConnectionString("Provider=SQLite;Data Source=/var/lib/voltrane/mdc.db;"),
            "Provider=SQLite;Data Source=/var/lib/voltrane/mdc.db;");
  EXPECT_EQ(DecipherConnectionString("Initial Catalog=;X=1"), "Initial Catalog;X=1;");
  EXPECT_EQ(DecipherConnectionString("A=1;B"), "A=1;B;");
}

TEST(StoredStringReadersTest, Oracle) {
  const auto enciphered = ReadOracleConnectionString(
      "eUID=270E;ePWD=3218;DRIVER={Microsoft ODBC for Oracle};SERVER=plant.world;");
  EXPECT_EQ(enciphered.host, "plant.world");
  EXPECT_EQ(enciphered.user, "sa");
  EXPECT_EQ(enciphered.password, "pw");
  const auto plain = ReadOracleConnectionString("UID=scott;PWD=tiger;SERVER=h;");
  EXPECT_EQ(plain.user, "scott");
  EXPECT_EQ(plain.password, "tiger");
  const auto missing = ReadOracleConnectionString("");
  EXPECT_EQ(missing.host + missing.user + missing.password, "");
}

TEST(StoredStringReadersTest, AccessPathIsTheSecondItemWithoutDataSource) {
  EXPECT_EQ(ReadAccessDatabasePath(
                "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/a=b.mdb;Persist Security"),
            "/srv/a=b.mdb");
  EXPECT_EQ(ReadAccessDatabasePath("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/x.mdb"),
            "/x.mdb");
  EXPECT_EQ(ReadAccessDatabasePath(""), "");
  EXPECT_EQ(ReadAccessDatabasePath("Provider=Microsoft.Jet.OLEDB.4.0"), "");
}

TEST(StoredStringReadersTest, SqlServer) {
  const auto fields = ReadSqlServerConnectionString(
      "Provider=MSOLEDBSQL;DataTypeCompatibility=80;Data Source=srv;Initial Catalog=MDC;"
      "eUser ID=270E;ePassword=3218;");
  EXPECT_EQ(fields.provider, "MSOLEDBSQL;DataTypeCompatibility=80");
  EXPECT_EQ(fields.server, "srv");
  EXPECT_EQ(fields.database, "MDC");
  EXPECT_EQ(fields.user, "sa");
  EXPECT_EQ(fields.password, "pw");
  const auto plain = ReadSqlServerConnectionString(
      "Provider=SQLOLEDB;Data Source=s;Initial Catalog=;User ID=u;Password=p;");
  EXPECT_EQ(plain.provider, "SQLOLEDB");
  EXPECT_EQ(plain.database, "");
  EXPECT_EQ(plain.user, "u");
  EXPECT_EQ(plain.password, "p");
  const auto missing = ReadSqlServerConnectionString("");
  EXPECT_EQ(missing.provider + missing.server + missing.database + missing.user, "");
}

}  // namespace
}  // namespace voltrane
