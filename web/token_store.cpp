#include "web/token_store.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <tuple>

#include "settings/reg_settings.h"

namespace web {
namespace {

constexpr const char* kHashPrefix = "sha256:";
constexpr size_t kTokenBytes = 32;

std::string Hex(const unsigned char* bytes, size_t size) {
  std::string text;
  text.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) text += fmt::format("{:02x}", bytes[i]);
  return text;
}

struct StoredToken {
  std::string name;
  std::string hash;  // "sha256:" and hex
  TokenScope scope;
};

// The stored text split into its hash and its limits; an unknown limit
// makes the token read-only rather than more powerful than meant.
StoredToken ParseStoredToken(const std::string& name, const std::string& text) {
  StoredToken token{name, text.substr(0, text.find(';')), {}};
  size_t start = text.find(';');
  while (start != std::string::npos) {
    const size_t end = text.find(';', start + 1);
    const std::string limit =
        text.substr(start + 1, end == std::string::npos ? end : end - start - 1);
    constexpr std::string_view kMachines = "machines=";
    if (limit == "read-only") {
      token.scope.read_only = true;
    } else if (limit.starts_with(kMachines)) {
      if (!ParseMachineList(limit.substr(kMachines.size()), token.scope.machines))
        token.scope.read_only = true;
    } else {
      token.scope.read_only = true;
    }
    start = end;
  }
  return token;
}

// The stored tokens, read again only when the hive file changed: every
// writer replaces the file (a new inode), so a token removed by another
// process is seen at the next request, at the cost of one stat().
std::vector<StoredToken> StoredTokens() {
  static std::mutex mutex;
  static std::optional<std::tuple<ino_t, int64_t, int64_t, off_t>> read_version;
  static std::vector<StoredToken> tokens;

  struct stat info {};
  const std::string path = voltrane::HivePath(voltrane::RegHive::kLocalMachine);
  std::optional<std::tuple<ino_t, int64_t, int64_t, off_t>> version;
  if (stat(path.c_str(), &info) == 0) {
    version = std::make_tuple(info.st_ino, static_cast<int64_t>(info.st_mtim.tv_sec),
                              static_cast<int64_t>(info.st_mtim.tv_nsec), info.st_size);
  }
  std::lock_guard<std::mutex> lock(mutex);
  if (version && version == read_version) return tokens;
  tokens.clear();
  read_version.reset();
  voltrane::CRegKey key;
  if (version && key.Open(voltrane::RegHive::kLocalMachine, kTokensKey) == voltrane::kRegSuccess) {
    for (const std::string& name : key.ValueNames()) {
      if (const std::optional<std::string> hash = key.StringValue(name)) {
        tokens.push_back(ParseStoredToken(name, *hash));
      }
    }
  }
  // A path that changed between stat and read is read again next time.
  read_version = version;
  return tokens;
}

}  // namespace

bool TokenScope::MayPostFor(const std::string& machine_number) const {
  if (read_only) return false;
  if (machines.empty()) return true;
  return std::find(machines.begin(), machines.end(), machine_number) != machines.end();
}

std::string TokenScope::StoredText() const {
  std::string text;
  if (!machines.empty()) text += ";machines=" + fmt::format("{}", fmt::join(machines, ","));
  if (read_only) text += ";read-only";
  return text;
}

bool ParseMachineList(const std::string& text, std::vector<std::string>& machines) {
  machines.clear();
  size_t start = 0;
  while (true) {
    const size_t end = text.find(',', start);
    const std::string number = text.substr(start, end == std::string::npos ? end : end - start);
    if (number.empty() || number.find(';') != std::string::npos) return false;
    machines.push_back(number);
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

bool IsValidTokenName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (const char c : name) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!allowed) return false;
  }
  return true;
}

std::string Sha256Hex(const std::string& text) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  EVP_Digest(text.data(), text.size(), digest.data(), &size, EVP_sha256(), nullptr);
  return Hex(digest.data(), size);
}

TokenResult AddToken(const std::string& name, const TokenScope& scope) {
  if (!IsValidTokenName(name)) {
    return {false, fmt::format("invalid token name \"{}\": use 1 to 64 letters, digits, "
                               "'.', '_' or '-'",
                               name)};
  }
  voltrane::CRegKey key;
  if (key.Open(voltrane::RegHive::kLocalMachine, kTokensKey) == voltrane::kRegSuccess &&
      key.HasValue(name)) {
    return {false, fmt::format("a token named \"{}\" exists; remove it first", name)};
  }
  std::array<unsigned char, kTokenBytes> random{};
  if (RAND_bytes(random.data(), static_cast<int>(random.size())) != 1) {
    return {false, "no random bytes available for a token"};
  }
  const std::string token = Hex(random.data(), random.size());
  OPENSSL_cleanse(random.data(), random.size());
  voltrane::CRegSettings settings;
  if (!settings.SaveMachineStringValue(kTokensKey, name,
                                       kHashPrefix + Sha256Hex(token) + scope.StoredText())) {
    return {false, "cannot write the settings store " +
                       voltrane::HivePath(voltrane::RegHive::kLocalMachine)};
  }
  return {true, token};
}

TokenResult RemoveToken(const std::string& name) {
  voltrane::CRegKey key;
  if (key.Open(voltrane::RegHive::kLocalMachine, kTokensKey) != voltrane::kRegSuccess ||
      !key.HasValue(name)) {
    return {false, fmt::format("no token named \"{}\"", name)};
  }
  voltrane::CRegSettings settings;
  if (!settings.DeleteMachineItem(kTokensKey, name)) {
    return {false, "cannot write the settings store " +
                       voltrane::HivePath(voltrane::RegHive::kLocalMachine)};
  }
  return {true, ""};
}

std::vector<std::string> TokenNames() {
  voltrane::CRegKey key;
  if (key.Open(voltrane::RegHive::kLocalMachine, kTokensKey) != voltrane::kRegSuccess) return {};
  return key.ValueNames();
}

std::optional<TokenGrant> FindToken(const std::string& token) {
  if (token.empty()) return std::nullopt;
  const std::vector<StoredToken> tokens = StoredTokens();
  const std::string presented = kHashPrefix + Sha256Hex(token);
  std::optional<TokenGrant> match;
  // Every stored hash is compared in constant time, so the answer's timing
  // does not tell how much of a guess was right.
  for (const StoredToken& stored : tokens) {
    if (stored.hash.size() == presented.size() &&
        CRYPTO_memcmp(stored.hash.data(), presented.data(), presented.size()) == 0) {
      match = TokenGrant{stored.name, stored.scope};
    }
  }
  return match;
}

std::optional<std::string> VerifyToken(const std::string& token) {
  const std::optional<TokenGrant> grant = FindToken(token);
  if (!grant) return std::nullopt;
  return grant->name;
}

std::optional<TokenScope> TokenScopeOf(const std::string& name) {
  for (const StoredToken& stored : StoredTokens()) {
    if (stored.name == name) return stored.scope;
  }
  return std::nullopt;
}

}  // namespace web
