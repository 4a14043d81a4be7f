#include "source/flashfiler/sha1.h"

#include <cstdint>
#include <cstring>

namespace korvel {

namespace {

inline uint32_t Rotl(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

void Compress(uint32_t state[5], const uint8_t* block) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i) {
    w[i] = (static_cast<uint32_t>(block[4 * i]) << 24) | (static_cast<uint32_t>(block[4 * i + 1]) << 16) |
           (static_cast<uint32_t>(block[4 * i + 2]) << 8) | block[4 * i + 3];
  }
  for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t t = Rotl(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = t;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

}  // namespace

std::string Sha1Hex(std::string_view data) {
  uint32_t state[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  const uint8_t* p = reinterpret_cast<const uint8_t*>(data.data());
  size_t left = data.size();
  while (left >= 64) {
    Compress(state, p);
    p += 64;
    left -= 64;
  }
  uint8_t tail[128] = {};
  std::memcpy(tail, p, left);
  tail[left] = 0x80;
  const size_t tail_size = left + 9 <= 64 ? 64 : 128;
  const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
  for (int i = 0; i < 8; ++i) tail[tail_size - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
  Compress(state, tail);
  if (tail_size == 128) Compress(state, tail + 64);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (const uint32_t word : state) {
    for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(word >> shift) & 0xF];
  }
  return out;
}

}  // namespace korvel
