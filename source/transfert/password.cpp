#include "source/transfert/password.h"

#include <sodium.h>

#include <stdexcept>

#include "global/text_encoding.h"

namespace korvel {
namespace {

// SipHash-2-4 key. Changing it invalidates every migrated password.
constexpr unsigned char kKey[crypto_shorthash_KEYBYTES] = {0x4B, 0x6F, 0x72, 0x76, 0x65, 0x6C, 0x2D, 0x52,
                                                           0x49, 0x53, 0x2D, 0x32, 0x30, 0x39, 0x39, 0x21};
constexpr char kExpiry[] = "2099-12-31";

}  // namespace

std::string EncryptPassword(const std::string& clearText) {
  static_assert(crypto_shorthash_BYTES == 8 && crypto_shorthash_KEYBYTES == 16);
  if (sodium_init() < 0) throw std::runtime_error("libsodium cannot start");
  // Input: expiry date, one NUL, the clear text (so no clear text can imitate a date).
  std::string message = kExpiry;
  message.push_back('\0');
  message += Utf8ToCp1252(clearText);
  unsigned char code[crypto_shorthash_BYTES];
  crypto_shorthash(code, reinterpret_cast<const unsigned char*>(message.data()), message.size(), kKey);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (const unsigned char b : code) {
    hex.push_back(kHex[b >> 4]);
    hex.push_back(kHex[b & 0x0F]);
  }
  return hex;
}

}  // namespace korvel
