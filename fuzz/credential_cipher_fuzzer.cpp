// The credential cipher on arbitrary bytes: enciphering then deciphering
// gives the text back under both keys, and deciphering text that is not hex
// (a hand-edited store) must not crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cipher/mod_crypto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const int role : {voltrane::kUserNameKeyRole, voltrane::kPasswordKeyRole}) {
    const std::string hex = voltrane::CryptCredential(voltrane::kEncipher, role, text);
    if (hex.size() != 2 * text.size()) __builtin_trap();
    if (voltrane::CryptCredential(voltrane::kDecipher, role, hex) != text) __builtin_trap();
    voltrane::CryptCredential(voltrane::kDecipher, role, text);
  }
  voltrane::HexPairValue(text);
  voltrane::DecipherText("", text);
  return 0;
}
